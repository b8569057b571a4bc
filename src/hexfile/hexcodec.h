// SPDX-License-Identifier: MIT
#pragma once
// Hex digits and the record check: which record lines of an Intel HEX file
// are sent, skipped, end the download or cancel it. Pure functions of the
// line's text.

#include "shared/hextable.h"

#include <cstdint>
#include <string_view>

namespace quill {

// Record classes returned by check_record.
inline constexpr int16_t REC_ALL_FF = -1; // data record of only FF bytes (or none): not sent
inline constexpr int16_t REC_SEND = 0;    // sent
inline constexpr int16_t REC_LAST = 1;    // sent, then the download ends
inline constexpr int16_t REC_BAD_HEX = 2; // a field holds a non-hex character: skipped
inline constexpr int16_t REC_BAD_SUM = 3; // checksum wrong, or the line is cut short: cancels

// The byte written by the first two characters of `text`, or -1 if either
// is not a hex digit or is missing.
int16_t hex_byte(const HexTable& table, std::string_view text);

// Classifies one record line (without its terminator; its first character
// is ":", not examined here). Never reads past the end of the line.
int16_t check_record(const HexTable& table, std::string_view line);

// The firmware data bytes of a record line: its byte count for a data
// record, 0 for any other type.
int64_t recordDataBytes(const HexTable& table, std::string_view line);

} // namespace quill
