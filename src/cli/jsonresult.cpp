// SPDX-License-Identifier: MIT
#include "cli/jsonresult.h"

#include "shared/utf8text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quill::cli {

namespace {

void member(std::string& out, const std::string& pad, std::string_view name,
            const std::string& value, bool last = false) {
    out += pad + "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
}

std::string textOrNull(const std::string& text) {
    return text.empty() ? "null" : jsonString(text);
}

} // namespace

std::string jsonObject(const RunResult& r, int indent) {
    const std::string pad(static_cast<size_t>(std::max(indent, 0)), ' ');
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", std::isfinite(r.seconds) ? r.seconds : 0.0);
    std::string out = pad + "{\n";
    member(out, pad, "outcome", jsonString(r.outcome));
    member(out, pad, "exit_code", std::to_string(r.exitCode));
    member(out, pad, "port", textOrNull(r.port));
    member(out, pad, "device_path", textOrNull(r.devicePath));
    member(out, pad, "baud", r.baud ? std::to_string(*r.baud) : "null");
    member(out, pad, "device", textOrNull(r.device));
    member(out, pad, "file_sha256", textOrNull(r.fileSha256));
    member(out, pad, "records_sent", std::to_string(r.recordsSent));
    member(out, pad, "records_total", std::to_string(r.recordsTotal));
    member(out, pad, "data_bytes_sent", std::to_string(r.dataBytesSent));
    member(out, pad, "data_bytes_total", std::to_string(r.dataBytesTotal));
    member(out, pad, "seconds", seconds);
    std::string messages = "[";
    for (size_t i = 0; i < r.messages.size(); ++i) {
        messages += (i == 0 ? "\n" : ",\n") + pad + "    " + jsonString(r.messages[i]);
    }
    messages += r.messages.empty() ? "]" : "\n" + pad + "  ]";
    member(out, pad, "messages", messages, true);
    return out + pad + "}";
}

} // namespace quill::cli
