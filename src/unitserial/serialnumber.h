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
const char* serialFormatName(SerialFormat format);

struct SerialRequest {
    std::optional<uint32_t> address; // none: no number is written
    size_t size = 4;                 // bytes, 1 to 8
    SerialFormat format = SerialFormat::LittleEndian;
    std::string series = "default"; // the counter's name
    uint64_t start = 1;             // the first number of a series not there yet
    std::string listFile;           // values line by line instead of a counter
    // A stored [Serial] setting that cannot be used, as the user is told;
    // nothing starts while there is one.
    std::string problem;

    bool wanted() const { return address.has_value(); }
    // The counter a run draws from: the series, or for a list "list:" and
    // the SHA-256 of its bytes, so that a list is one series under any name
    // and a copy of it goes on where the original stopped.
    std::string counterName(std::string_view listSha256) const;
    // The list's series as it was named by its file's name alone, before
    // lists were known by their bytes: a list begun then goes on from there
    // and gives none of its values twice. Empty for a counter.
    std::string earlierCounterName() const;
};

inline constexpr size_t maxSerialSize = 8;
// The counters are signed 64-bit in the history, and one more than the
// start must fit there too.
inline constexpr uint64_t maxSerialStart = 9223372036854775806u; // 2^63 - 2

// The window's choice, in the settings file's section [Serial]: Address
// (hex), Size, Format (le, be, ascii), Series, Start and List; no Address,
// no number. A value there that cannot be used is kept out and named in
// `problem`, never replaced by a default.
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

// A line of a list, blanks around it aside. "#" and decimal digits is a
// number in every form, written as a counter writes it ("#4242"). Otherwise
// a binary form takes the bytes in hex as they go into the image, all
// 2 * size digits: plain ("001A2B3C4D5E"), after "0x", or in pairs between
// one kind of separator (":", "-" or a blank: "00:1A:2B:3C:4D:5E"); ASCII
// takes the text, printable, shorter text padded with NUL bytes. None when
// the line is no such value or does not fit. Digits alone of another length
// than 2 * size can only be a decimal number, and are taken as one.
std::optional<SerialValue> listedSerial(std::string_view line, size_t size, SerialFormat format);

} // namespace quill
