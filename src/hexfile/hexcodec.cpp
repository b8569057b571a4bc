// SPDX-License-Identifier: MIT
#include "hexfile/hexcodec.h"

#include <algorithm>
#include <cstddef>

namespace quill {

namespace {

// Index of the first character of each field; position 0 holds the ":".
constexpr size_t count_at = 1;
constexpr size_t addr_high_at = 3;
constexpr size_t addr_low_at = 5;
constexpr size_t type_at = 7;
constexpr size_t data_at = 9;

constexpr int16_t type_data = 0;
constexpr int16_t type_end_of_file = 1;

int16_t digit(const HexTable& table, char c) {
    return table[static_cast<unsigned char>(c)];
}

// Two digits to a byte, one lookup each; the caller has made sure both exist.
// A non-digit is -1 in the table, so OR-ing the two halves tests both at once.
int16_t pair_at(const HexTable& table, const char* p) {
    const int hi = digit(table, p[0]);
    const int lo = digit(table, p[1]);
    if ((hi | lo) < 0) {
        return -1;
    }
    return static_cast<int16_t>(hi * 16 + lo);
}

// The line ends inside the fields its byte count asks for. Its characters from
// `from` on (at most a few) are still examined: a stray character makes it a
// line with a bad digit, skipped like any other; a record that is merely cut
// off, all digits, is treated as a checksum failure so that the download stops
// instead of leaving a hole in the flash.
int16_t cut_short(const HexTable& table, std::string_view line, size_t from) {
    for (size_t i = from; i < line.size(); ++i) {
        if (digit(table, line[i]) < 0) {
            return REC_BAD_HEX;
        }
    }
    return REC_BAD_SUM;
}

} // namespace

int16_t hex_byte(const HexTable& table, std::string_view text) {
    if (text.size() < 2) {
        return -1;
    }
    return pair_at(table, text.data());
}

// One pass from the byte count to the checksum. The rule for every line,
// whole or cut short: the first field character that is not a hex digit makes
// it REC_BAD_HEX; a line that ends before the last digit of its checksum, with
// only digits up to its end, is REC_BAD_SUM. For a whole line this is exactly
// "all four header fields read, then each data byte, then the checksum, any bad
// digit first"; for a short one it means a bad digit still wins over the
// missing rest, so that a line of stray text beginning with ":" is skipped
// while a truncated record cancels. Nothing past the end of `line` is read.
int16_t check_record(const HexTable& table, std::string_view line) {
    if (line.size() < data_at) {
        return cut_short(table, line, count_at);
    }
    const char* p = line.data();
    const int16_t n = pair_at(table, p + count_at);
    const int16_t ah = pair_at(table, p + addr_high_at);
    const int16_t al = pair_at(table, p + addr_low_at);
    const int16_t t = pair_at(table, p + type_at);
    if ((n | ah | al | t) < 0) {
        return REC_BAD_HEX;
    }

    unsigned ff = t == type_data ? 0xFFu : 0u;
    unsigned sum = static_cast<unsigned>(n + ah + al + t);

    const size_t count = static_cast<size_t>(n);
    const size_t whole = std::min(count, (line.size() - data_at) / 2);
    for (size_t k = 0; k < whole; ++k) {
        const int16_t b = pair_at(table, p + data_at + 2 * k);
        if (b < 0) {
            return REC_BAD_HEX;
        }
        ff &= static_cast<unsigned>(b);
        sum += static_cast<unsigned>(b);
    }

    const size_t checksum_at = data_at + 2 * count;
    if (line.size() < checksum_at + 2) {
        return cut_short(table, line, data_at + 2 * whole);
    }
    const int16_t c = pair_at(table, p + checksum_at);
    if (c < 0) {
        return REC_BAD_HEX;
    }
    if (((sum + static_cast<unsigned>(c)) & 0xFFu) != 0) {
        return REC_BAD_SUM;
    }
    if (ff == 0xFFu) {
        return REC_ALL_FF;
    }
    if ((n == 0 && ah == 0 && al == 0) || t == type_end_of_file) {
        return REC_LAST;
    }
    return REC_SEND;
}

int64_t recordDataBytes(const HexTable& table, std::string_view line) {
    constexpr size_t countAt = 1;
    constexpr size_t typeAt = 7;
    constexpr int16_t typeData = 0;
    if (line.size() < typeAt + 2 || hex_byte(table, line.substr(typeAt)) != typeData) {
        return 0;
    }
    return std::max<int16_t>(0, hex_byte(table, line.substr(countAt)));
}

} // namespace quill
