// SPDX-License-Identifier: MIT
#pragma once
// The hex-digit table: the value of every character code as a hex digit.
// Built once at start-up and kept in the shared state; the record check
// reads it.

#include <array>
#include <cstdint>

namespace quill {

// Maps a character code to its hex digit value, or -1.
using HexTable = std::array<int16_t, 256>;

// The table for "0"-"9", "A"-"F", "a"-"f"; -1 for every other code.
void init_hex_table(HexTable& table);
HexTable makeHexTable();

} // namespace quill
