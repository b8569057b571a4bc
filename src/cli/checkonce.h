// SPDX-License-Identifier: MIT
#pragma once
// The hex file checked once for a run on several ports, before any port is
// touched: by the download's own whole-file check, with its messages and
// its question about a file without an end record. A file refused here is
// refused for every port.

#include "platform/downloadobserver.h"
#include "platform/messagebox.h"
#include "trace/downloadprogress.h"

#include <optional>
#include <string>

namespace quill::cli {

struct CheckedOnce {
    std::optional<DownloadEnd> refused; // how the check ended the download; empty: go on
    DownloadTotals totals;              // what each device will be sent
};

// `boxes` shows the check's messages and answers its question.
CheckedOnce checkFileOnce(const std::string& path, MessageBoxes& boxes);

} // namespace quill::cli
