// SPDX-License-Identifier: MIT
#pragma once
// The tests' one maker of Intel HEX records and files.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quill::test {

// An Intel HEX record line with a correct checksum, without CR LF.
inline std::string dataRecord(uint16_t address, const std::vector<uint8_t>& data,
                              uint8_t type = 0) {
    std::string line = ":";
    unsigned sum = 0;
    auto put = [&](unsigned byte) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte & 0xFF);
        line += digits;
        sum += byte;
    };
    put(static_cast<unsigned>(data.size()));
    put(address >> 8);
    put(address & 0xFF);
    put(type);
    for (const uint8_t b : data) {
        put(b);
    }
    put((0x100 - (sum & 0xFF)) & 0xFF);
    return line;
}

// `records` data records of 16 bytes from address 0, each byte its record's
// number plus its place, and the end record; CR LF line ends.
inline std::string hexFile(int records) {
    std::string text;
    for (int r = 0; r < records; ++r) {
        std::vector<uint8_t> data(16);
        for (int i = 0; i < 16; ++i) {
            data[static_cast<size_t>(i)] = static_cast<uint8_t>(r + i);
        }
        text += dataRecord(static_cast<uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

} // namespace quill::test
