// SPDX-License-Identifier: MIT
#include "unitserial/serialnumber.h"

#include "unitserial/serialtexts.h"

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

// Hex bytes as they go into the image: plain ("001A2B"), after "0x", or in
// pairs between one kind of separator ("00:1A:2B", "00-1A-2B", "00 1A 2B").
std::optional<std::vector<uint8_t>> hexBytes(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    const size_t first = text.find_first_of(":- ");
    const char separator = first == std::string_view::npos ? '\0' : text[first];
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at < text.size(); at += 2) {
        if (separator != '\0' && at > 0 && text[at++] != separator) {
            return std::nullopt;
        }
        if (at + 2 > text.size() || !allOf(text.substr(at, 2), isxdigit)) {
            return std::nullopt;
        }
        bytes.push_back(
            static_cast<uint8_t>(std::stoi(std::string(text.substr(at, 2)), nullptr, 16)));
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

constexpr const char* Section = "Serial";
constexpr const char* FormatNames[] = {"le", "be", "ascii"};

} // namespace

const char* serialFormatName(SerialFormat format) {
    return FormatNames[static_cast<int>(format)];
}

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
    // The first value that cannot be used is the one named; an empty one is not set.
    const auto refuse = [&](const char* key, const char* what) {
        if (s.problem.empty()) {
            s.problem = text::SerialSettingPrefix + std::string(key) + '=' + get(key) +
                        text::SerialSettingMiddle + what + text::SerialSettingEnd;
        }
    };
    s.address = addressFromText(get("Address"));
    if (!s.address && !trimmed(get("Address")).empty()) {
        refuse("Address", text::SerialSettingAddress);
    }
    if (const std::string size = get("Size"); !size.empty()) {
        if (const auto n = decimal(size); n && *n >= 1 && *n <= maxSerialSize) {
            s.size = static_cast<size_t>(*n);
        } else {
            refuse("Size", text::SerialSettingSize);
        }
    }
    if (const std::string format = get("Format"); !format.empty()) {
        if (const auto named = serialFormatNamed(format)) {
            s.format = *named;
        } else {
            refuse("Format", text::SerialSettingFormat);
        }
    }
    if (const std::string series = get("Series"); !series.empty()) {
        s.series = series;
    }
    if (const std::string start = get("Start"); !start.empty()) {
        if (const auto n = decimal(start); n && *n <= maxSerialStart) {
            s.start = *n;
        } else {
            refuse("Start", text::SerialSettingStart);
        }
    }
    s.listFile = get("List");
    // Without an address no number is written: nothing else there matters.
    if (trimmed(get("Address")).empty()) {
        s.problem.clear();
    }
    return s;
}

void saveSerialSettings(SettingsStore& settings, const SerialRequest& s) {
    settings.SaveSetting(Section, "Address", s.address ? addressText(*s.address) : std::string());
    settings.SaveSetting(Section, "Size", std::to_string(s.size));
    settings.SaveSetting(Section, "Format", serialFormatName(s.format));
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

std::string SerialRequest::counterName(std::string_view listSha256) const {
    return listFile.empty() ? series : "list:" + std::string(listSha256);
}

std::string SerialRequest::earlierCounterName() const {
    return listFile.empty() ? std::string()
                            : "list:" + listFile.substr(listFile.find_last_of('/') + 1);
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
    if (line.starts_with('#')) {
        const auto n = decimal(line.substr(1));
        return n ? countedSerial(*n, size, format) : std::nullopt;
    }
    if (format == SerialFormat::Ascii) {
        if (line.empty() || line.size() > size ||
            !std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
            return std::nullopt;
        }
        SerialValue v{{line.begin(), line.end()}, std::string(line)};
        v.bytes.resize(size, 0);
        return v;
    }
    // Digits alone are the bytes when there are two for each byte; of any
    // other length they can only be a decimal number, as lists were written
    // before bytes were taken.
    if (allOf(line, isdigit) && line.size() != 2 * size) {
        const auto n = decimal(line);
        auto v = n ? countedSerial(*n, size, format) : std::nullopt;
        if (v) {
            v->written = std::string(line);
        }
        return v;
    }
    auto bytes = hexBytes(line);
    if (!bytes || bytes->size() != size) {
        return std::nullopt;
    }
    return SerialValue{std::move(*bytes), std::string(line)};
}

} // namespace quill
