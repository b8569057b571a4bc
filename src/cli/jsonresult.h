// SPDX-License-Identifier: MIT
#pragma once
// The result of a run for machines: one JSON object with how the download
// ended, the exit code, the port, the counts and the messages. No JSON
// library: the writer below is all quill-cli needs. Texts are bytes (file
// and device names need not be UTF-8); what is valid UTF-8 is written as it
// stands, and every byte that is not part of valid UTF-8 is written as the
// escape \u00XX of that byte, so the output is always valid JSON and the
// byte can still be read off it.

#include "shared/report.h"

#include <string>
#include <vector>

namespace quill::cli {

// One device's result as a JSON object over several lines, without a line
// end after it; `indent` spaces before each of its lines. `exitCode` is the
// status that goes with it, `messages` the messages it lists.
std::string jsonObject(const DeviceReport& device, int exitCode,
                       const std::vector<std::string>& messages, int indent = 0);

// A run on one port: that device's result, with the run's status and every
// message the run showed.
std::string onePortJson(const RunReport& run, const std::vector<std::string>& messages);

// A run on several ports: the fields of one device's result for the run as
// a whole (its outcome, the exit status, the sums of records and data
// bytes, the longest time, the run's own messages), then "devices", each
// device's result in port order.
std::string portsJson(const RunReport& run, const std::vector<std::string>& messages);

// A command line that could not be read: `problems` as printed, a line each.
std::string usageJson(const std::string& problems);

} // namespace quill::cli
