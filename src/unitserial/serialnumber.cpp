// SPDX-License-Identifier: MIT
#include "unitserial/serialnumber.h"

#include <algorithm>
#include <cctype>

namespace quill {

namespace {

bool allOf(std::string_view text, int (*test)(int)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return test(static_cast<unsigned char>(c)) != 0;
    });
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The decimal digits of a line: none when it is no number, or is one
// beyond 64 bits.
std::optional<uint64_t> decimal(std::string_view text) {
    if (!allOf(text, isdigit) || text.size() > 20) {
        return std::nullopt;
    }
    uint64_t n = 0;
    for (const char c : text) {
        const auto d = static_cast<uint64_t>(c - '0');
        if (n > (UINT64_MAX - d) / 10) {
            return std::nullopt;
        }
        n = n * 10 + d;
    }
    return n;
}

} // namespace

std::optional<SerialFormat> serialFormatNamed(std::string_view name) {
    if (name == "le") {
        return SerialFormat::LittleEndian;
    }
    if (name == "be") {
        return SerialFormat::BigEndian;
    }
    if (name == "ascii") {
        return SerialFormat::Ascii;
    }
    return std::nullopt;
}

std::string SerialRequest::counterName() const {
    if (listFile.empty()) {
        return series;
    }
    return "list:" + listFile.substr(listFile.find_last_of('/') + 1);
}

std::optional<SerialValue> countedSerial(uint64_t n, size_t size, SerialFormat format) {
    SerialValue v{{}, std::to_string(n)};
    if (format == SerialFormat::Ascii) {
        if (v.written.size() > size) {
            return std::nullopt;
        }
        const std::string digits = std::string(size - v.written.size(), '0') + v.written;
        v.bytes.assign(digits.begin(), digits.end());
        return v;
    }
    if (size < 8 && (n >> (8 * size)) != 0) {
        return std::nullopt;
    }
    for (size_t i = 0; i < size; ++i) {
        v.bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
    if (format == SerialFormat::BigEndian) {
        std::reverse(v.bytes.begin(), v.bytes.end());
    }
    return v;
}

std::optional<SerialValue> listedSerial(std::string_view line, size_t size, SerialFormat format) {
    line = trimmed(line);
    if (line.empty()) {
        return std::nullopt;
    }
    if (format == SerialFormat::Ascii) {
        if (line.size() > size ||
            !std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
            return std::nullopt;
        }
        SerialValue v{{line.begin(), line.end()}, std::string(line)};
        v.bytes.resize(size, 0);
        return v;
    }
    if (const auto n = decimal(line)) {
        auto v = countedSerial(*n, size, format);
        if (v) {
            v->written = std::string(line);
        }
        return v;
    }
    // Hex bytes in the order they go into the image, with or without 0x
    // and separators.
    std::string digits;
    for (const char c : line.starts_with("0x") || line.starts_with("0X") ? line.substr(2) : line) {
        if (std::isxdigit(static_cast<unsigned char>(c)) != 0) {
            digits += c;
        } else if (c != ':' && c != '-' && c != ' ') {
            return std::nullopt;
        }
    }
    if (digits.size() != 2 * size) {
        return std::nullopt;
    }
    SerialValue v{{}, std::string(line)};
    for (size_t i = 0; i < digits.size(); i += 2) {
        v.bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return v;
}

} // namespace quill
