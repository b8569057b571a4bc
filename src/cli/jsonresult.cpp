// SPDX-License-Identifier: MIT
#include "cli/jsonresult.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quill::cli {

namespace {

bool within(uint8_t b, uint8_t low, uint8_t high) {
    return b >= low && b <= high;
}

// The length of the well-formed UTF-8 sequence of more than one byte at
// `at`, or 0: no overlong forms, no surrogates, nothing above U+10FFFF.
size_t utf8Sequence(std::string_view s, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[at + i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint8_t low = 0x80;  // the range of the second byte
    uint8_t high = 0xBF; // (the others are always 80 to BF)
    if (within(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (within(lead, 0xE0, 0xEF)) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (within(lead, 0xF0, 0xF4)) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > s.size() || !within(byte(1), low, high)) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (!within(byte(i), 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

void appendEscape(std::string& out, uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", b);
    out += text;
}

void member(std::string& out, const std::string& pad, std::string_view name,
            const std::string& value, bool last = false) {
    out += pad + "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
}

std::string textOrNull(const std::string& text) {
    return text.empty() ? "null" : jsonString(text);
}

} // namespace

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    out.reserve(bytes.size() + 2);
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b >= 0x80) {
            if (const size_t n = utf8Sequence(bytes, i); n > 0) {
                out.append(bytes.substr(i, n));
                i += n;
            } else {
                appendEscape(out, b);
                ++i;
            }
            continue;
        }
        switch (b) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                appendEscape(out, b);
            } else {
                out += static_cast<char>(b);
            }
        }
        ++i;
    }
    return out + '"';
}

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
