// SPDX-License-Identifier: MIT
#include "hexfile/hexcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {
namespace {

const HexTable table = makeHexTable();

// A data record of 255 FF bytes at 1000: the byte count's high digit and the
// farthest checksum position.
const std::string longest = ":FF100000" + std::string(510, 'F') + "F0";

TEST(CheckRecord, ClassifiesRecords) {
    const std::pair<int16_t, std::vector<std::string>> cases[] = {
        // End of file in either case and at any address, type 1 with data, no
        // data at 0000 in any record but a data record; what follows the
        // checksum is not examined.
        {REC_LAST,
         {":00000001FF", ":00000001ff", ":00120001ED", ":01000001AA54", ":00000005FB",
          ":00000001FF  and more text", ":00000001FFG"}},
        // All FF, or no data, counts only in data records, before the last-record test.
        {REC_ALL_FF,
         {":0000000000", ":00001000F0", ":04001000FFFFFFFFF0", ":04001000fFfFFfFff0", longest}},
        {REC_SEND,
         {":0400100012FF34FFA8", ":02000002FFFFFE", ":020000040000FA", ":0300300002337A1E",
          ":0400100012FF34FFA8 ; comment"}},
        // A wrong checksum wins over all-FF and over the last record; a line
        // cut short with only digits cancels.
        // One digit off in a data byte makes the sum off by exactly 80 hex.
        {REC_BAD_SUM,
         {":0400100012FF34FF00", ":0400100092FF34FFA8", ":04001000FFFFFFFF00", ":00000001FE",
          ":00000", ":10000000FF"}},
        // A bad digit wins over a wrong checksum, also in a line cut short.
        {REC_BAD_HEX, {":0400100012G234FF00", ":00000001FG", ":G", ":000000G", ":04001000FFGG"}},
    };
    for (const auto& [expected, lines] : cases) {
        for (const std::string& line : lines) {
            EXPECT_EQ(check_record(table, line), expected) << line;
        }
    }
}

// Characters next to the digit ranges, signs, blanks, the start code itself
// and the extremes of the byte range, in every field up to the checksum.
TEST(CheckRecord, NonHexInEveryFieldIsBadHex) {
    const std::string notHex = std::string(" +-/:@G`g\t\x7F\xFF") + '\0';
    for (const std::string base : {":0400100012FF34FFA8", ":04001000FFFFFFFF00"}) {
        for (size_t pos = 1; pos < base.size(); ++pos) {
            for (const char bad : notHex) {
                std::string line = base;
                line[pos] = bad;
                EXPECT_EQ(check_record(table, line), REC_BAD_HEX)
                    << base << " pos " << pos << " char " << int(static_cast<unsigned char>(bad));
            }
        }
    }
}

// A record cut off anywhere before the end of its checksum cancels; the
// bytes beyond the cut must not be looked at.
TEST(CheckRecord, CutShortIsBadSumWithoutReadingPastTheEnd) {
    for (const std::string& whole :
         std::vector<std::string>{":0400100012FF34FFA8", ":00000001FF", ":0000000000", longest}) {
        for (size_t len = 0; len < whole.size(); ++len) {
            // In an allocation of its own size a read past the cut is out of
            // bounds; in a view into the whole record it would find it valid.
            auto heap = std::make_unique<char[]>(len);
            std::copy_n(whole.begin(), len, heap.get());
            EXPECT_EQ(check_record(table, std::string_view(heap.get(), len)), REC_BAD_SUM) << len;
            EXPECT_EQ(check_record(table, std::string_view(whole).substr(0, len)), REC_BAD_SUM)
                << whole.substr(0, len);
        }
    }
}

TEST(HexTable, HoldsDigitValuesAndMinusOneElsewhere) {
    for (int code = 0; code < 256; ++code) {
        const char digit[] = {static_cast<char>(code), '\0'};
        const long expected = std::isxdigit(code) != 0 ? std::strtol(digit, nullptr, 16) : -1;
        EXPECT_EQ(table[static_cast<size_t>(code)], expected) << "code " << code;
    }
}

TEST(HexByte, ConvertsTheFirstTwoDigits) {
    const std::vector<std::pair<std::string_view, int16_t>> cases = {
        {"00", 0},  {"fF", 255}, {"a5", 0xA5}, {"5A", 0x5A}, {"123", 0x12},
        {"0G", -1}, {"G0", -1},  {"", -1},     {"F", -1},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(hex_byte(table, text), expected) << text;
    }
    EXPECT_EQ(hex_byte(table, std::string_view("F0", 1)), -1); // only the view counts
}

} // namespace
} // namespace quill
