// SPDX-License-Identifier: MIT
#include "unitserial/serialnumber.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

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

constexpr const char* Section = "Serial";
constexpr const char* FormatNames[] = {"le", "be", "ascii"};

} // namespace

std::string addressText(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", address);
    return text;
}

std::optional<uint32_t> addressFromText(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    if (text.size() > 8 || !allOf(text, isxdigit)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(std::stoul(std::string(text), nullptr, 16));
}

SerialRequest serialFromSettings(const SettingsStore& settings) {
    SerialRequest s;
    const auto get = [&](const char* key) { return settings.GetSetting(Section, key); };
    s.address = addressFromText(get("Address"));
    if (const auto size = decimal(get("Size")); size && *size >= 1 && *size <= maxSerialSize) {
        s.size = static_cast<size_t>(*size);
    }
    s.format = serialFormatNamed(get("Format")).value_or(s.format);
    if (const std::string series = get("Series"); !series.empty()) {
        s.series = series;
    }
    s.start = decimal(get("Start")).value_or(s.start);
    s.listFile = get("List");
    return s;
}

void saveSerialSettings(SettingsStore& settings, const SerialRequest& s) {
    settings.SaveSetting(Section, "Address", s.address ? addressText(*s.address) : std::string());
    settings.SaveSetting(Section, "Size", std::to_string(s.size));
    settings.SaveSetting(Section, "Format", FormatNames[static_cast<int>(s.format)]);
    settings.SaveSetting(Section, "Series", s.series);
    settings.SaveSetting(Section, "Start", std::to_string(s.start));
    settings.SaveSetting(Section, "List", s.listFile);
}

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
