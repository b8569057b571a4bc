// SPDX-License-Identifier: MIT
#include "platform/qt/lineconfig.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(LineConfigTest, ParsesValidTextsAndRejectsBadOnes) {
    const struct {
        const char* text;
        LineConfig expected;
    } cases[] = {
        {"9600,M,8,1", {9600, Parity::Mark, 8, StopBits::One}},
        {"38400,e,7,1", {38400, Parity::Even, 7, StopBits::One}},
        {"110,O,5,1.5", {110, Parity::Odd, 5, StopBits::OneAndHalf}},
        {"4000000,s,6,2", {4'000'000, Parity::Space, 6, StopBits::Two}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseLineConfig(c.text), c.expected);
    }
    for (const char* text :
         {"", "9600,M,8", "9600,M,8,1,", ",M,8,1", "9600,,8,1", "9600,X,8,1", "9600,MM,8,1",
          "9600,M,9,1", "9600,M,4,1", "9600,M,8,3", "9600,M,8,1.0", "9600,M,8,1 ", " 9600,M,8,1",
          "9600x,M,8,1", "-9600,M,8,1", "0,M,8,1", "4000001,M,8,1", "99999999999,M,8,1",
          "9600;M;8;1"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseLineConfig(text).has_value());
    }
}

} // namespace
} // namespace quill
