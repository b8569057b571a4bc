// SPDX-License-Identifier: MIT
#pragma once
// The result of a run for machines: one JSON object with how the download
// ended, the exit code, the port, the counts and the messages. No JSON
// library: the writer below is all quill-cli needs. Texts are bytes (file
// and device names need not be UTF-8); what is valid UTF-8 is written as it
// stands, and every byte that is not part of valid UTF-8 is written as the
// escape \u00XX of that byte, so the output is always valid JSON and the
// byte can still be read off it.
//
// A run over several ports writes one object per port inside its own:
//
//     out += "  \"ports\": [\n" + jsonObject(first, 4) + ",\n" + jsonObject(second, 4) + "\n  ]";

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

struct RunResult {
    std::string outcome;    // how it ended: "complete", "no_erase_answer", ... (outcome.h)
    int exitCode = 1;       // the process's exit status
    std::string port;       // as given on the command line, or the stored "COMn"
    std::string devicePath; // the device the port resolved to; empty when unknown
    std::optional<int32_t> baud;
    std::string device; // "manual", "tracker" or "other"; empty when unknown
    int64_t recordsSent = 0;
    int64_t recordsTotal = 0; // records the file holds for the device
    int64_t dataBytesSent = 0;
    int64_t dataBytesTotal = 0;
    double seconds = 0;                // from the erase request to the end of the download
    std::vector<std::string> messages; // every message of the run, in order
};

// `bytes` as a JSON string, quotes included.
std::string jsonString(std::string_view bytes);

// The result as a JSON object over several lines, without a line end after
// it; `indent` spaces before each of its lines.
std::string jsonObject(const RunResult& result, int indent = 0);

} // namespace quill::cli
