// SPDX-License-Identifier: MIT
#include "hexfile/stdhexfile.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

using Lines = std::vector<std::string>;

class StdHexFileTest : public ::testing::Test {
  protected:
    // Every line of `bytes`, checking eof() before and after each read.
    Lines readAll(const std::string& bytes) {
        EXPECT_TRUE(file.open(dir.write("lines.hex", bytes)));
        Lines lines;
        std::string line;
        while (!file.eof()) {
            EXPECT_TRUE(file.readLine(line));
            lines.push_back(line);
        }
        EXPECT_FALSE(file.readLine(line));
        EXPECT_TRUE(line.empty());
        return lines;
    }

    sim::TempDir dir;
    StdHexFile file;
};

// The last line may lack its terminator.
TEST_F(StdHexFileTest, SplitsLinesAtCrLfLoneCrAndLoneLf) {
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"\n\r", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\nb\r\n", {"a", "", "b"}},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(readAll(bytes), expected) << testing::PrintToString(bytes);
    }
}

TEST_F(StdHexFileTest, PassesEveryByteValueThrough) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += b == '\r' || b == '\n' ? ' ' : static_cast<char>(b);
    }
    EXPECT_EQ(readAll(all + "\r\n" + all), (Lines{all, all}));
}

// The reader fills its buffer in blocks: terminators and lines that straddle
// a block boundary must come out as if there were none.
TEST_F(StdHexFileTest, LinesAcrossTheBufferBoundary) {
    const size_t block = StdHexFile::bufferSize;
    for (size_t first = block - 2; first <= block + 1; ++first) {
        const std::string a(first, 'A');
        EXPECT_EQ(readAll(a + "\r\nB\r\n"), (Lines{a, "B"})) << first;
        EXPECT_EQ(readAll(a + "\rB"), (Lines{a, "B"})) << first;
        EXPECT_EQ(readAll(a + "\r\r\nB"), (Lines{a, "", "B"})) << first;
    }
    const std::string a(block - 1, 'A'); // the file's last byte, a CR, ends a full block
    EXPECT_EQ(readAll(a + "\r"), (Lines{a}));
    const std::string longer(3 * block + 17, 'L');
    EXPECT_EQ(readAll("x\r\n" + longer + "\r\ny"), (Lines{"x", longer, "y"}));
}

TEST_F(StdHexFileTest, RewindAndReopenStartAtTheFirstByteAndLengthCountsBytes) {
    const std::string path = dir.write("f.hex", "one\r\ntwo\r\n");
    std::string line;
    line.reserve(32);
    const char* storage = line.data(); // reused by every read, never reallocated
    ASSERT_TRUE(file.open(path));
    ASSERT_TRUE(file.readLine(line) && file.readLine(line));
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(file.length(), 10); // bytes, whatever has been read
    EXPECT_TRUE(file.rewind());
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "one");

    EXPECT_TRUE(file.open(dir.write("g.hex", "other")));
    EXPECT_EQ(file.length(), 5);
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "other");
    EXPECT_EQ(line.data(), storage);
    EXPECT_TRUE(file.close());
    EXPECT_TRUE(file.close()); // closing twice is harmless
}

TEST_F(StdHexFileTest, FailedOpenLeavesNothingOpen) {
    const std::string good = dir.write("f.hex", "data\r\n");
    for (const auto& bad : {dir.path() / "missing.hex", dir.path(), dir.path() / "sub" / "f.hex"}) {
        ASSERT_TRUE(file.open(good));
        EXPECT_FALSE(file.open(bad.string())) << bad;
        EXPECT_FALSE(file.isOpen());
        EXPECT_TRUE(file.eof());
        std::string line = "stale";
        EXPECT_FALSE(file.readLine(line));
        EXPECT_TRUE(line.empty());
        EXPECT_FALSE(file.rewind());
    }
}

// A line beyond the bound is read past in constant memory: its beginning is
// kept and flagged, and the next line comes out whole.
TEST_F(StdHexFileTest, OverlongLinesAreCutAndFlagged) {
    const size_t max = HexFileSource::maxLineBytes;
    const struct {
        size_t length;
        bool tooLong;
    } cases[] = {{max - 1, false}, {max, false}, {max + 1, true}, {40 * max + 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        ASSERT_TRUE(file.open(dir.write("long.hex", std::string(c.length, ':') + "\r\nnext")));
        std::string line;
        ASSERT_TRUE(file.readLine(line));
        EXPECT_EQ(line.size(), std::min(c.length, max));
        EXPECT_EQ(file.lineTooLong(), c.tooLong);
        EXPECT_LE(line.capacity(), 2 * max);
        ASSERT_TRUE(file.readLine(line));
        EXPECT_EQ(line, "next");
        EXPECT_FALSE(file.lineTooLong());
    }
}

} // namespace
} // namespace quill
