// SPDX-License-Identifier: MIT
#include "cli/multijson.h"

#include <cstdio>

namespace quill::cli {

namespace {

// The length of the UTF-8 sequence at `at`, 0 when it is not one.
size_t utf8Length(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    const size_t length = first < 0x80           ? 1
                          : (first >> 5) == 0x6  ? 2
                          : (first >> 4) == 0xE  ? 3
                          : (first >> 3) == 0x1E ? 4
                                                 : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string field(std::string_view name, const std::string& value) {
    return jsonString(name) + ": " + value;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || (c >= 0x80 && utf8Length(text, at) == 0)) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            const size_t length = utf8Length(text, at);
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        ++at;
    }
    return out + "\"";
}

std::string multiRunJson(const MultiRunResult& r) {
    const bool differ = r.code == ExitCode::DevicesDiffer;
    std::string json = "{";
    json += field("outcome", jsonString(differ ? "devices ended differently"
                                               : std::string(outcomeName(r.code))));
    json += ", " + field("exit_code", std::to_string(r.status));
    json += ", " + field("baud", std::to_string(r.baud));
    json += ", " + field("device", jsonString(r.deviceKind));
    json += ", " + field("file", jsonString(r.file));
    json += ", " + field("records_total", std::to_string(r.totals.records));
    json += ", " + field("data_bytes_total", std::to_string(r.totals.dataBytes));
    json += ", \"devices\": [";
    for (size_t i = 0; i < r.devices.size(); ++i) {
        const DeviceStatus& d = r.devices[i];
        json += i == 0 ? "\n  {" : ",\n  {";
        json += field("port", jsonString(d.port));
        json += ", " + field("device_path",
                             jsonString(i < r.devicePaths.size() ? r.devicePaths[i] : d.port));
        json += ", " + field("outcome", jsonString(outcomeName(d.code)));
        json += ", " + field("exit_code", std::to_string(toInt(d.code)));
        json += ", " + field("records_sent", std::to_string(d.records));
        json += ", " + field("data_bytes_sent", std::to_string(d.dataBytes));
        json += ", " + field("seconds", number(d.seconds));
        json += ", \"messages\": [";
        const std::vector<std::string> none;
        const auto& messages = i < r.messages.size() ? r.messages[i] : none;
        for (size_t m = 0; m < messages.size(); ++m) {
            json += (m == 0 ? "" : ", ") + jsonString(messages[m]);
        }
        json += "]}";
    }
    return json + "\n]}\n";
}

} // namespace quill::cli
