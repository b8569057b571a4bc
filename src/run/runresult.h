// SPDX-License-Identifier: MIT
#pragma once
// How one headless run ended, for machines and for the record: the typed
// end by name, the exit status, the port, the counts and the messages.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct RunResult {
    std::string outcome;    // how it ended: "complete", "no_erase_answer", ... (outcome.h)
    int exitCode = 1;       // the process's exit status
    std::string port;       // as given on the command line, or the stored "COMn"
    std::string devicePath; // the device the port resolved to; empty when unknown
    std::optional<int32_t> baud;
    std::string device;     // "manual", "tracker" or "other"; empty when unknown
    std::string fileSha256; // of the file's bytes as the run began; empty when unread
    int64_t recordsSent = 0;
    int64_t recordsTotal = 0; // records the file holds for the device
    int64_t dataBytesSent = 0;
    int64_t dataBytesTotal = 0;
    double seconds = 0;                // from the erase request to the end of the download
    std::vector<std::string> messages; // every message of the run, in order
};

// "manual", "tracker" or "other".
const char* deviceKindName(int16_t deviceType);

} // namespace quill
