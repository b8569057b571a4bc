#include "platform/qt/lineconfig.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

struct ValidCase {
    const char* text;
    LineConfig expected;
};

TEST(LineConfigTest, ParsesValidTexts) {
    const ValidCase cases[] = {
        {"9600,M,8,1", {9600, Parity::Mark, 8, StopBits::One}},
        {"38400,E,8,1", {38400, Parity::Even, 8, StopBits::One}},
        {"9600,m,8,1", {9600, Parity::Mark, 8, StopBits::One}},
        {"1200,n,7,2", {1200, Parity::None, 7, StopBits::Two}},
        {"110,O,5,1.5", {110, Parity::Odd, 5, StopBits::OneAndHalf}},
        {"115200,s,6,1", {115200, Parity::Space, 6, StopBits::One}},
        {"4000000,e,8,2", {4'000'000, Parity::Even, 8, StopBits::Two}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = parseLineConfig(c.text);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(*parsed, c.expected);
    }
}

TEST(LineConfigTest, RejectsBadTexts) {
    const char* const cases[] = {
        "",
        "abc",
        "9600",
        "9600,M,8",
        "9600,M,8,1,",
        ",M,8,1",
        "9600,,8,1",
        "9600,M,,1",
        "9600,M,8,",
        "9600,X,8,1",
        "9600,MM,8,1",
        "9600,M,9,1",
        "9600,M,4,1",
        "9600,M,8,3",
        "9600,M,8,1x",
        "9600,M,8,1 ",
        " 9600,M,8,1",
        "9600x,M,8,1",
        "-9600,M,8,1",
        "0,M,8,1",
        "4000001,M,8,1",
        "99999999999,M,8,1",
        "9600,M,8,1.0",
        "9600;M;8;1",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseLineConfig(text).has_value());
    }
}

} // namespace
} // namespace quill
