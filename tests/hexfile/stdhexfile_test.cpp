#include "hexfile/stdhexfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace quill {
namespace {

class StdHexFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / ("quill_hexfile_" + std::to_string(::getpid()) + "_" +
                                             std::to_string(counter++) + "_" + info->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        m_file.close();
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = m_dir / name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Every line of `bytes`, checking eof() before and after each read.
    std::vector<std::string> readAll(const std::string& bytes) {
        EXPECT_TRUE(m_file.open(write("lines.hex", bytes)));
        std::vector<std::string> lines;
        std::string line;
        while (!m_file.eof()) {
            EXPECT_TRUE(m_file.readLine(line));
            lines.push_back(line);
        }
        EXPECT_FALSE(m_file.readLine(line));
        EXPECT_TRUE(line.empty());
        return lines;
    }

    fs::path m_dir;
    StdHexFile m_file;
};

using Lines = std::vector<std::string>;

TEST_F(StdHexFileTest, SplitsLinesAtCrLfLoneCrAndLoneLf) {
    const std::vector<std::pair<std::string, Lines>> cases = {
        {"", {}},
        {"abc", {"abc"}},
        {"abc\r\n", {"abc"}},
        {"abc\r", {"abc"}},
        {"abc\n", {"abc"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"\r\n\r\n", {"", ""}},
        {"\r", {""}},
        {"\n\r", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\nb\r\n", {"a", "", "b"}},
        {":00000001FF  \r\n:0000000000\r\n", {":00000001FF  ", ":0000000000"}},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(readAll(bytes), expected) << testing::PrintToString(bytes);
    }
}

TEST_F(StdHexFileTest, PassesEveryByteValueThrough) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') {
            all += static_cast<char>(b);
        }
    }
    const std::string odd("\x00:\x80\xFF", 4);
    EXPECT_EQ(readAll(all + "\r\n" + odd), (Lines{all, odd}));
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
    // The last byte of the file is a CR ending a full block.
    const std::string a(block - 1, 'A');
    EXPECT_EQ(readAll(a + "\r"), (Lines{a}));
    const std::string longer(3 * block + 17, 'L');
    EXPECT_EQ(readAll("x\r\n" + longer + "\r\ny"), (Lines{"x", longer, "y"}));
}

TEST_F(StdHexFileTest, RewindAndReopenStartAtTheFirstByte) {
    const std::string path = write("f.hex", "one\r\ntwo\r\n");
    std::string line;
    line.reserve(32);
    const char* storage = line.data(); // reused by every read, never reallocated
    ASSERT_TRUE(m_file.open(path));
    ASSERT_TRUE(m_file.readLine(line));
    ASSERT_TRUE(m_file.readLine(line));
    EXPECT_TRUE(m_file.eof());

    EXPECT_TRUE(m_file.rewind());
    EXPECT_FALSE(m_file.eof());
    ASSERT_TRUE(m_file.readLine(line));
    EXPECT_EQ(line, "one");

    EXPECT_TRUE(m_file.open(path));
    ASSERT_TRUE(m_file.readLine(line));
    EXPECT_EQ(line, "one");

    EXPECT_TRUE(m_file.open(write("g.hex", "other")));
    ASSERT_TRUE(m_file.readLine(line));
    EXPECT_EQ(line, "other");
    EXPECT_EQ(line.data(), storage);
}

TEST_F(StdHexFileTest, LengthIsTheSizeInBytesAndCloseIsHarmless) {
    EXPECT_TRUE(m_file.close());
    ASSERT_TRUE(m_file.open(write("f.hex", std::string(12345, 'x') + "\r\n")));
    EXPECT_EQ(m_file.length(), 12347);
    std::string line;
    m_file.readLine(line);
    EXPECT_EQ(m_file.length(), 12347);
    ASSERT_TRUE(m_file.open(write("empty.hex", "")));
    EXPECT_EQ(m_file.length(), 0);
    EXPECT_TRUE(m_file.eof());
    EXPECT_TRUE(m_file.close());
    EXPECT_TRUE(m_file.close());
    EXPECT_FALSE(m_file.isOpen());
}

TEST_F(StdHexFileTest, FailedOpenLeavesNothingOpen) {
    const std::string good = write("f.hex", "data\r\n");
    for (const fs::path& bad : {m_dir / "missing.hex", m_dir, m_dir / "sub" / "f.hex"}) {
        ASSERT_TRUE(m_file.open(good));
        EXPECT_FALSE(m_file.open(bad.string())) << bad;
        EXPECT_FALSE(m_file.isOpen());
        EXPECT_TRUE(m_file.eof());
        std::string line = "stale";
        EXPECT_FALSE(m_file.readLine(line));
        EXPECT_TRUE(line.empty());
        EXPECT_FALSE(m_file.rewind());
    }
}

TEST_F(StdHexFileTest, UnreadableFileFailsToOpen) {
    const std::string path = write("locked.hex", "data\r\n");
    fs::permissions(path, fs::perms::none);
    if (std::ifstream(path).is_open()) {
        GTEST_SKIP() << "permissions do not bind this user";
    }
    EXPECT_FALSE(m_file.open(path));
    EXPECT_FALSE(m_file.isOpen());
}

} // namespace
} // namespace quill
