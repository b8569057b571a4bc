// SPDX-License-Identifier: MIT
#pragma once
// --json on several ports: one JSON object on standard output when the run
// ends, with the run's exit code and outcome and one result per device, in
// port order.

#include "cli/multitable.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

struct MultiRunResult {
    ExitCode code = ExitCode::Failure; // of the whole run, as it exits
    int status = 1;                    // the process's exit status (128 + a signal)
    int32_t baud = 0;
    std::string deviceKind; // "manual", "tracker" or "other"
    std::string file;
    FileTotals totals;
    std::vector<DeviceStatus> devices;
    std::vector<std::string> devicePaths;           // what each port stands for
    std::vector<std::vector<std::string>> messages; // shown for each device, in order
};

std::string multiRunJson(const MultiRunResult& result);

// A JSON string with its quotes. Bytes that are not UTF-8 become \u00XX.
std::string jsonString(std::string_view text);

} // namespace quill::cli
