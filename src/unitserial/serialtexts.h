// SPDX-License-Identifier: MIT
#pragma once
// The texts of a unit's number: its stored settings, its list, and where
// the hex file has it.

namespace quill::text {

// "The setting [Serial] " key "=" value " cannot be used: it must be " what
// "; correct it in Options, \"Serial number...\"."
inline constexpr const char* SerialSettingPrefix = "The setting [Serial] ";
inline constexpr const char* SerialSettingMiddle = " cannot be used: it must be ";
inline constexpr const char* SerialSettingEnd =
    "; correct it in Options, \"Serial number...\", or in the settings file.";
inline constexpr const char* SerialSettingAddress = "a hexadecimal address of at most 32 bits";
inline constexpr const char* SerialSettingSize = "a whole number from 1 to 8";
inline constexpr const char* SerialSettingFormat = "le, be or ascii";
inline constexpr const char* SerialSettingStart = "a whole number from 0 to 9223372036854775806";

// The list, read whole before any port is touched: "The serial list " path
// and what is wrong with it.
inline constexpr const char* SerialListPrefix = "The serial list ";
inline constexpr const char* SerialListNotOpened = " cannot be read (";
inline constexpr const char* SerialListNotOpenedEnd = "): check its name and that you may read it.";
inline constexpr const char* SerialListNotFile =
    " is not a regular file: name a text file with one value per line.";
inline constexpr const char* SerialListTooBig =
    " is larger than 16 MiB: split it into lists of a few MiB at most.";
inline constexpr const char* SerialListEmpty = " holds no values: write one value per line.";
// "Line " N " of the serial list " path " (" line ") is " hint.
inline constexpr const char* SerialListLine = "Line ";
inline constexpr const char* SerialListOf = " of the serial list ";
inline constexpr const char* SerialListBinaryHint =
    " bytes: write the bytes in hex as they go into the image (all the digits, such as "
    "001A2B3C or 00:1A:2B:3C), or a decimal number after # (#4242).";
inline constexpr const char* SerialListAsciiHint =
    " printable characters, or a decimal number after # that fits (#42).";
inline constexpr const char* SerialListNotBinary = " is no value of ";
inline constexpr const char* SerialListNotAscii = " is no text of at most ";
// "Lines " A " and " B " of the serial list " path " give the same value: ..."
inline constexpr const char* SerialListLines = "Lines ";
inline constexpr const char* SerialListAnd = " and ";
inline constexpr const char* SerialListSame =
    " give the same value: each unit needs a value of its own; remove one of them.";

// The hex file holds the number's address only in records after its end
// record, which are never sent: "The hex file holds " address ...
inline constexpr const char* SerialAfterEnd = "The hex file holds ";
inline constexpr const char* SerialAfterEndEnd =
    ", where each unit's serial number goes, only after its end record, where nothing is "
    "sent: move the number's address into the firmware, or remove the end record before it.";

} // namespace quill::text
