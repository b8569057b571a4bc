// SPDX-License-Identifier: MIT
// The record check on any line: it must give the class that a reference
// written straight from the record format gives, and read nothing past the
// line (the line lies in a heap block of exactly its size, so
// AddressSanitizer reports any byte read beyond it).

#include "fuzzcheck.h"
#include "hexfile/hexcodec.h"
#include "reference.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace quill::fuzz {
namespace {

// Position 0 holds the start code and is not looked at. Then, two hex digits
// a byte: the count N, the address (two bytes), the type, N data bytes and
// the checksum. Every character from position 1 up to the checksum's last
// digit, or up to the end of a line that stops short of it, must be a hex
// digit; a line that stops short of it with only digits is a cut record.
int16_t referenceClass(std::string_view line) {
    size_t end = 1 + 2 * 5; // header and checksum, without data
    if (line.size() >= 3 && hexValue(line[1]) >= 0 && hexValue(line[2]) >= 0) {
        end += 2 * static_cast<size_t>(hexValue(line[1]) * 16 + hexValue(line[2]));
    }
    for (size_t i = 1; i < line.size() && i < end; ++i) {
        if (hexValue(line[i]) < 0) {
            return REC_BAD_HEX;
        }
    }
    if (line.size() < end) {
        return REC_BAD_SUM;
    }
    std::vector<int> bytes; // count, address high, address low, type, data..., checksum
    for (size_t i = 1; i + 1 < end; i += 2) {
        bytes.push_back(hexValue(line[i]) * 16 + hexValue(line[i + 1]));
    }
    int sum = 0;
    for (const int b : bytes) {
        sum += b;
    }
    if (sum % 256 != 0) {
        return REC_BAD_SUM;
    }
    const int count = bytes[0];
    const int type = bytes[3];
    bool allFF = type == 0;
    for (int k = 0; k < count; ++k) {
        allFF = allFF && bytes[static_cast<size_t>(4 + k)] == 0xFF;
    }
    if (allFF) {
        return REC_ALL_FF;
    }
    if ((count == 0 && bytes[1] == 0 && bytes[2] == 0) || type == 1) {
        return REC_LAST;
    }
    return REC_SEND;
}

} // namespace
} // namespace quill::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quill;
    static const HexTable table = makeHexTable();
    const auto copy = std::make_unique<char[]>(size);
    if (size > 0) {
        std::memcpy(copy.get(), data, size);
    }
    const std::string_view line(copy.get(), size);
    fuzz::require(check_record(table, line) == fuzz::referenceClass(line),
                  "check_record gives the reference's class");
    const int16_t first = hex_byte(table, line.substr(std::min<size_t>(1, size)));
    const int16_t expected =
        size >= 3 && fuzz::hexValue(line[1]) >= 0 && fuzz::hexValue(line[2]) >= 0
            ? static_cast<int16_t>(fuzz::hexValue(line[1]) * 16 + fuzz::hexValue(line[2]))
            : int16_t{-1};
    fuzz::require(first == expected, "hex_byte reads the two characters after the start code");
    return 0;
}
