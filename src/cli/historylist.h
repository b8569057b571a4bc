// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --history: the downloads the history holds, newest first,
// filtered by --since, --port, --outcome, --sha256 and --batch, as a table,
// CSV (--csv) or JSON lines (--json), streamed from the history as they
// are read.

#include "cli/clioptions.h"
#include "cli/console.h"
#include "platform/settingsstore.h"
#include "shared/exitcodes.h"

#include <cstdio>

namespace quill::cli {

ExitCode listHistory(const CliOptions& options, const SettingsStore& store, std::FILE* out,
                     Console& console);

} // namespace quill::cli
