// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's --help: what it says beside the options, the exit status
// section from the one table of codes.

#include "cmdline/commandline.h"

namespace quill::cli {

cmdline::HelpText helpText();

} // namespace quill::cli
