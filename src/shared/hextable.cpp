// SPDX-License-Identifier: MIT
#include "shared/hextable.h"

namespace quill {

void init_hex_table(HexTable& table) {
    table.fill(-1);
    for (int16_t v = 0; v < 10; ++v) {
        table[static_cast<unsigned char>('0' + v)] = v;
    }
    for (int16_t v = 0; v < 6; ++v) {
        table[static_cast<unsigned char>('A' + v)] = static_cast<int16_t>(10 + v);
        table[static_cast<unsigned char>('a' + v)] = static_cast<int16_t>(10 + v);
    }
}

HexTable makeHexTable() {
    HexTable table{};
    init_hex_table(table);
    return table;
}

} // namespace quill
