#include "hexfile/hexcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {
namespace {

const HexTable table = make_hex_table();

// A valid record with 255 data bytes 00..FE: the byte count's high digit and
// the farthest checksum position.
std::string longest_record() {
    const char* digits = "0123456789ABCDEF";
    std::string line = ":FF123400";
    unsigned sum = 0xFF + 0x12 + 0x34;
    for (unsigned b = 0; b <= 0xFF; ++b) {
        const unsigned v = b < 0xFF ? b : (0x100 - sum % 0x100) % 0x100; // the last is the checksum
        line += {digits[v >> 4], digits[v & 0xF]};
        sum += v;
    }
    return line;
}

struct Case {
    std::string line;
    int16_t expected;
};

TEST(CheckRecord, ClassifiesRecords) {
    const std::vector<Case> cases = {
        // End of file, in either case and at any address.
        {":00000001FF", REC_LAST},
        {":00000001ff", REC_LAST},
        {":00120001ED", REC_LAST},
        // No data at address 0000 ends the file unless it is a data record.
        {":00000005FB", REC_LAST},
        {":00000004FC", REC_LAST},
        {":0000000000", REC_ALL_FF},
        {":00001000F0", REC_ALL_FF},
        // Type 1 with data is still the last record.
        {":01000001AA54", REC_LAST},
        // All FF only counts in data records.
        {":04001000FFFFFFFFF0", REC_ALL_FF},
        {":04001000fFfFFfFff0", REC_ALL_FF},
        {":0400100012FF34FFA8", REC_SEND},
        {":0400100012ff34FFa8", REC_SEND},
        {":02000002FFFFFE", REC_SEND},
        {":020000040000FA", REC_SEND},
        {":0300300002337A1E", REC_SEND},
        {longest_record(), REC_SEND},
        // A wrong checksum wins over all-FF and over the last record.
        {":0400100012FF34FF00", REC_BAD_SUM},
        {":04001000FFFFFFFF00", REC_BAD_SUM},
        {":00000001FE", REC_BAD_SUM},
        {":0000000001", REC_BAD_SUM},
        // A bad digit wins over a wrong checksum, in data and in the checksum.
        {":0400100012G234FF00", REC_BAD_HEX},
        {":00000001FG", REC_BAD_HEX},
        // The byte count alone places the checksum; what follows is not examined.
        {":00000001FF  and more text", REC_LAST},
        {":00000001FFG", REC_LAST},
        {":00000001FF00", REC_LAST},
        {":0400100012FF34FFA8 ; comment", REC_SEND},
        {std::string(":00000001FF\0\xFF", 13), REC_LAST},
        // Cut short: a stray character still makes it a line to skip, a clean
        // cut cancels (more of this below).
        {":G", REC_BAD_HEX},
        {":0G00", REC_BAD_HEX},
        {":000000G", REC_BAD_HEX},
        {":04001000G", REC_BAD_HEX},
        {":04001000FFGG", REC_BAD_HEX},
        {":00000001G", REC_BAD_HEX},
        {":00000", REC_BAD_SUM},
        {":04001000F", REC_BAD_SUM},
        {":10000000FF", REC_BAD_SUM},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_record(table, c.line), c.expected) << c.line;
    }
}

// Characters next to the digit ranges, signs, blanks, the start code itself
// and the extremes of the byte range.
const std::string not_hex = std::string(" +-/:@G`g\t\x7F\xFF") + '\0';

TEST(CheckRecord, NonHexInEveryFieldIsBadHex) {
    for (const std::string base : {":0400100012FF34FFA8", ":04001000FFFFFFFF00"}) {
        for (size_t pos = 1; pos < base.size(); ++pos) {
            for (const char bad : not_hex) {
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
    for (const std::string whole : {":0400100012FF34FFA8", ":00000001FF", ":0000000000"}) {
        for (size_t len = 0; len < whole.size(); ++len) {
            // Exactly the cut line: in a std::string a read past it finds NUL,
            // and in an allocation of its own size it is out of bounds.
            const std::string exact = whole.substr(0, len);
            auto heap = std::make_unique<char[]>(len);
            std::copy_n(whole.begin(), len, heap.get());
            EXPECT_EQ(check_record(table, exact), REC_BAD_SUM) << exact;
            EXPECT_EQ(check_record(table, std::string_view(heap.get(), len)), REC_BAD_SUM);
            // A view into the whole record: reading on would find it valid.
            EXPECT_EQ(check_record(table, std::string_view(whole).substr(0, len)), REC_BAD_SUM)
                << exact;
        }
    }
    EXPECT_EQ(check_record(table, longest_record().substr(0, 520)), REC_BAD_SUM);
}

TEST(HexTable, HoldsDigitValuesAndMinusOneElsewhere) {
    HexTable t;
    t.fill(7);
    init_hex_table(t);
    const std::string_view lower = "0123456789abcdef";
    const std::string_view upper = "0123456789ABCDEF";
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        auto pos = lower.find(c);
        if (pos == std::string_view::npos) {
            pos = upper.find(c);
        }
        const int expected = pos == std::string_view::npos ? -1 : static_cast<int>(pos);
        EXPECT_EQ(t[static_cast<size_t>(code)], expected) << "code " << code;
    }
    EXPECT_EQ(make_hex_table(), t);
}

TEST(HexByte, ConvertsTwoDigits) {
    const std::vector<std::pair<std::string_view, int16_t>> cases = {
        {"00", 0},  {"FF", 255},  {"ff", 255},   {"fF", 255}, {"a5", 0xA5}, {"5A", 0x5A},
        {"09", 9},  {"90", 0x90}, {"123", 0x12}, {"0G", -1},  {"G0", -1},   {"g0", -1},
        {" 1", -1}, {"+1", -1},   {"", -1},      {"F", -1},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(hex_byte(table, text), expected) << text;
    }
    // Only the characters in the view count, not what follows them.
    EXPECT_EQ(hex_byte(table, std::string_view("F0", 1)), -1);
}

} // namespace
} // namespace quill
