// SPDX-License-Identifier: MIT
#include "shared/utf8text.h"

#include <algorithm>

#include <cstdint>
#include <cstdio>

namespace quill {

namespace {

bool within(uint8_t b, uint8_t low, uint8_t high) {
    return b >= low && b <= high;
}

void appendEscape(std::string& out, const char* format, uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, format, b);
    out += text;
}

} // namespace

size_t utf8SequenceLength(std::string_view s, size_t at) {
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

std::string jsonString(std::string_view bytes) {
    std::string out;
    appendJsonString(out, bytes);
    return out;
}

void appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b >= 0x80) {
            if (const size_t n = utf8SequenceLength(bytes, i); n > 0) {
                out.append(bytes.substr(i, n));
                i += n;
            } else {
                appendEscape(out, "\\u%04x", b);
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
                appendEscape(out, "\\u%04x", b);
            } else {
                out += static_cast<char>(b);
            }
        }
        ++i;
    }
    out += '"';
}

std::string utf8Text(std::string_view bytes) {
    // Nearly every text is plain ASCII, which stays as it is.
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return c != 0 && static_cast<uint8_t>(c) < 0x80; })) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        const size_t n = b >= 0x80 ? utf8SequenceLength(bytes, i) : 1;
        if (b == 0 || n == 0) {
            appendEscape(out, "\\x%02x", b);
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

} // namespace quill
