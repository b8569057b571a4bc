// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --lock-password-hash: the engineer's password is read from the
// terminal without echo, twice, or from standard input's first line when
// it is not a terminal (a script, a pipe), and the line that the system
// settings file keeps is printed, to paste under [Station].

#include "shared/exitcodes.h"

#include <cstdio>

namespace quill {

ExitCode printUnlockHash(std::FILE* out, std::FILE* err);

} // namespace quill
