// SPDX-License-Identifier: MIT
#pragma once
// A number of each unit's own (a serial number, a MAC address, a key
// index), written into the image as the records go out: where it goes, in
// which form, and the bytes a value becomes. Pure: no Qt, no files.

#include "platform/settingsstore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class SerialFormat : uint8_t {
    LittleEndian, // binary, lowest byte first (the default)
    BigEndian,    // binary, highest byte first
    Ascii,        // decimal digits, zero-padded to the size
};

// "le", "be", "ascii".
std::optional<SerialFormat> serialFormatNamed(std::string_view name);

struct SerialRequest {
    std::optional<uint32_t> address; // none: no number is written
    size_t size = 4;                 // bytes, 1 to 8
    SerialFormat format = SerialFormat::LittleEndian;
    std::string series = "default"; // the counter's name
    uint64_t start = 1;             // the first number of a series not there yet
    std::string listFile;           // values line by line instead of a counter

    bool wanted() const { return address.has_value(); }
    // The counter a run draws from: the list's own name for a list.
    std::string counterName() const;
};

inline constexpr size_t maxSerialSize = 8;

// The window's choice, in the settings file's section [Serial]: Address
// (hex), Size, Format (le, be, ascii), Series, Start and List; no Address,
// no number.
SerialRequest serialFromSettings(const SettingsStore& settings);
void saveSerialSettings(SettingsStore& settings, const SerialRequest& serial);
// "0x08001000"
std::string addressText(uint32_t address);
// "0x08001000", "08001000": none when it is no 32-bit hex address.
std::optional<uint32_t> addressFromText(std::string_view text);

struct SerialValue {
    std::vector<uint8_t> bytes; // as they go into the image, `size` of them
    std::string written;        // as the history and every view name it
};

// The n'th number of a counting series; none when it does not fit.
std::optional<SerialValue> countedSerial(uint64_t n, size_t size, SerialFormat format);

// A line of a list: a decimal number, or for the binary forms the bytes in
// hex as they go into the image ("00:1A:2B:3C:4D:5E", "0x0A0B0C0D"), or for
// ASCII the text (shorter text is padded with NUL bytes). None when it does
// not fit, or is no such value.
std::optional<SerialValue> listedSerial(std::string_view line, size_t size, SerialFormat format);

} // namespace quill
