// SPDX-License-Identifier: MIT
// The hex file: hex digits and the record check, table-driven; the reader's
// lines, byte for byte and across its buffer; and choosing the file in the
// Open dialog or by dropping it on the window: what is open afterwards,
// what the status bar shows and whether "Start Download" may be pressed. A
// choice during a download is a row of the conversation table.

#include "hexfile/filecheck.h"
#include "hexfile/fileselect.h"
#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/sha256.h"
#include "hexfile/stdhexfile.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quill::sim {
namespace {

using Lines = std::vector<std::string>;

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
          ":0400100012FF34FFA8 ; comment", ":03000000abcdef96", ":03000000AbCdeF96"}},
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

// A record cut off anywhere before the end of its checksum cancels, and a
// byte cut off is none; the bytes beyond the cut must not be looked at.
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
    // A byte's digits, only the first two, only within the view.
    EXPECT_EQ(hex_byte(table, "c0d"), 0xC0);
    EXPECT_EQ(hex_byte(table, std::string_view("F0", 1)), -1);
}

// The one pass of the whole-file check: the verdict, the line to blame
// (counted as lines, whatever they hold), what a download sends, and the
// size and SHA-256 of every byte of the file, also of a refused one; a file
// held to another SHA-256 is no longer the firmware its run checked. (Notes,
// a missing end record and records after it, with what is sent of each, are
// rows of the download's conversation table, which checks the totals too.)
TEST(FileCheck, OnePassJudgesCountsAndNamesTheBytes) {
    const std::string rec = ":0400000001020304F2";
    const std::string eof = ":00000001FF";
    const std::string bad = ":0400000001020304F3";
    const struct {
        const char* name;
        std::string file;
        FileVerdict verdict;
        DownloadTotals totals;
        std::string detail = {};
        std::string heldTo = {};
    } cases[] = {
        {"all-FF data and address records carry no data bytes",
         ":020000040001F9\r\n:02000000FFFF00\r\n" + rec + "\r\n" + eof,
         FileVerdict::Whole,
         {3, 4}},
        {"the line to blame counts blank and note lines",
         "\r\n; made by hand\r\n" + rec + "\r\n" + bad + "\r\n" + eof,
         FileVerdict::Refused,
         {},
         "Line 4: checksum F3 in the file, F2 computed"},
        {"the bytes are not the ones checked before",
         rec + "\n" + eof,
         FileVerdict::Refused,
         {},
         {},
         std::string(64, 'a')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        StdHexFile file;
        ASSERT_TRUE(file.open(dir.write("fw.hex", "\xEF\xBB\xBF" + c.file)));
        file.holdTo(c.heldTo);
        std::string line;
        const FileCheck check = checkHexFile(file, table, line);
        EXPECT_EQ(check.verdict, c.verdict);
        EXPECT_EQ(check.detail, c.detail);
        if (!c.heldTo.empty()) {
            EXPECT_EQ(check.end, DownloadEnd::FileChanged);
            continue;
        }
        Sha256 sha;
        const std::string bytes = "\xEF\xBB\xBF" + c.file; // the byte-order mark too
        sha.add(bytes.data(), bytes.size());
        EXPECT_EQ(check.identity, (FileIdentity{int64_t(bytes.size()), sha.finish()}));
        EXPECT_EQ(check.totals, c.totals);
    }
}

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
        EXPECT_EQ(std::tuple(file.readLine(line), line), std::tuple(false, std::string()));
        return lines;
    }

    TempDir dir;
    StdHexFile file;
};

// The last line may lack its terminator. The reader fills its buffer in
// blocks: terminators and lines that straddle a block boundary must come out
// as if there were none.
TEST_F(StdHexFileTest, SplitsLinesAtCrLfLoneCrAndLoneLfAcrossTheBufferBoundary) {
    std::vector<std::pair<std::string, Lines>> cases = {
        {"", {}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"\n\r", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\nb\r\n", {"a", "", "b"}},
    };
    const size_t block = StdHexFile::bufferSize;
    for (size_t first = block - 2; first <= block + 1; ++first) {
        const std::string a(first, 'A');
        cases.insert(
            cases.end(),
            {{a + "\r\nB\r\n", {a, "B"}}, {a + "\rB", {a, "B"}}, {a + "\r\r\nB", {a, "", "B"}}});
    }
    const std::string a(block - 1, 'A'); // the file's last byte, a CR, ends a full block
    cases.push_back({a + "\r", {a}});
    std::string longer; // every byte value but CR and LF passes through
    while (longer.size() < 3 * block + 17) {
        const char c = static_cast<char>(longer.size());
        longer += c == '\r' || c == '\n' ? ' ' : c;
    }
    cases.push_back({"x\r\n" + longer + "\r\ny", {"x", longer, "y"}});
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(readAll(bytes), expected) << testing::PrintToString(bytes.substr(0, 40));
    }
}

TEST_F(StdHexFileTest, RewindAndReopenStartAtTheFirstByteAndAFailedOpenLeavesNothing) {
    const std::string path = dir.write("f.hex", "one\r\ntwo\r\n");
    std::string line;
    line.reserve(32);
    const char* storage = line.data(); // reused by every read, never reallocated
    ASSERT_TRUE(file.open(path));
    ASSERT_TRUE(file.readLine(line) && file.readLine(line));
    // The length in bytes, whatever has been read; the first line again after a rewind.
    EXPECT_EQ((std::tuple{file.eof(), file.length(), file.rewind(), file.readLine(line), line}),
              (std::tuple{true, 10, true, true, std::string("one")}));

    EXPECT_TRUE(file.open(dir.write("g.hex", "other")));
    EXPECT_EQ((std::tuple{file.length(), file.readLine(line), line, line.data() == storage}),
              (std::tuple{5, true, std::string("other"), true}));
    EXPECT_TRUE(file.close() && file.close()); // closing twice is harmless

    // A failed open leaves nothing open.
    for (const auto& bad : {dir.path() / "missing.hex", dir.path(), dir.path() / "sub" / "f.hex"}) {
        ASSERT_TRUE(file.open(path));
        std::string line = "stale";
        // Open, open, at its end, a line read, what the line holds, rewound.
        EXPECT_EQ((std::tuple{file.open(bad.string()), file.isOpen(), file.eof(),
                              file.readLine(line), line, file.rewind()}),
                  (std::tuple{false, false, true, false, std::string(), false}))
            << bad;
    }
}

// A line beyond the bound is read past in constant memory: its beginning is
// kept and flagged, and the next line comes out whole.
TEST_F(StdHexFileTest, OverlongLinesAreCutAndFlagged) {
    const size_t max = HexFileSource::maxLineBytes;
    const std::pair<size_t, bool> cases[] = {
        {max - 1, false}, {max, false}, {max + 1, true}, {40 * max + 3, true}};
    for (const auto& [length, tooLong] : cases) {
        SCOPED_TRACE(length);
        ASSERT_TRUE(file.open(dir.write("long.hex", std::string(length, ':') + "\r\nnext")));
        std::string line;
        ASSERT_TRUE(file.readLine(line));
        EXPECT_EQ(std::tuple(line.size(), file.lineTooLong()),
                  std::tuple(std::min(length, max), tooLong));
        EXPECT_LE(line.capacity(), 2 * max);
        EXPECT_EQ((std::tuple{file.readLine(line), line, file.lineTooLong()}),
                  (std::tuple{true, std::string("next"), false}));
    }
}

class FileChoice : public ::testing::Test {
  protected:
    void choose(std::optional<std::string> path) {
        dialog.answer = std::move(path);
        mnuFileOpen_Click(world.context, dialog);
    }
    void drop(std::vector<std::string> files) { Form_OLEDragDrop(world.context, files); }
    // hex_file_name, hex_file_open, the file really open, "Start Download"
    // enabled, the times it got the focus, panel 2.
    auto state() {
        return std::tuple(world.m.hex_file_name, world.m.hex_file_open, world.file.isOpen(),
                          world.form.cmdStartEnabled, world.form.cmdStartFocus,
                          world.form.panelText[2]);
    }

    SimWorld world;
    FakeFileDialog dialog;
    std::string a = world.dir.write("a.hex", ":00000001FF\r\n");
    std::string b = world.dir.write("b.bin", ":00000001FF\r\n"); // any extension
};

TEST_F(FileChoice, ChoiceNamesTheFileDropOpensItStartOnlyWithThePortOpen) {
    choose(a);
    EXPECT_EQ(std::tuple(dialog.filter, dialog.filterIndex, dialog.flags),
              std::tuple("Hex files (*.hex)|*.hex|All files (*.*)|*.*", 1, 0x1001));
    // Not opened here: the download start opens it.
    EXPECT_EQ(state(), std::tuple(a, false, false, false, 0, a + "    "));
    EXPECT_EQ(world.form.panelMinWidth[2], 25);
    drop({b, a}); // only the first counts, and it stays open until another is chosen
    EXPECT_EQ(state(), std::tuple(b, true, true, false, 0, b + "    "));
    drop({});
    choose(std::nullopt); // cancelled
    EXPECT_EQ(state(), std::tuple(b, true, true, false, 0, b + "    "));
    EXPECT_TRUE(world.boxes.shown().empty());

    world.setUpPort(9600, device_manual);
    choose(a); // closes the dropped file
    EXPECT_EQ(state(), std::tuple(a, false, false, true, 1, a + "    "));
    drop({b});
    EXPECT_EQ(state(), std::tuple(b, true, true, true, 2, b + "    "));
    drop({(world.dir.path() / "missing.hex").string()});
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{"Open file error"}));
    EXPECT_EQ(state(), std::tuple(b, false, false, true, 2, b + "    "));
}

} // namespace
} // namespace quill::sim
