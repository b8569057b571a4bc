// SPDX-License-Identifier: MIT
// What goes out of the hex file, record by record: which lines are sent,
// skipped or end the download, and how far the progress bar moves.

#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

const std::string recA = dataRecord(0x0100, {0x12, 0x34});
const std::string recB = dataRecord(0x0102, {0x56, 0x78, 0x9A});
const std::string allFF = dataRecord(0x0200, {0xFF, 0xFF, 0xFF, 0xFF});
const std::string eof = ":00000001FF";

struct Outcome {
    std::vector<std::string> sent;
    std::vector<std::string> boxes;
    int32_t filePos;
};

class Records : public ::testing::Test {
  protected:
    Outcome download(const std::string& content) {
        world.setUpPort(9600, device_manual);
        world.connect({});
        world.chooseFile(content);
        world.startAndRun();
        return {world.recordsSent(), world.boxes.texts(), world.m.file_pos};
    }
    SimWorld world;
};

TEST_F(Records, WhichLinesGoOutOnTheWire) {
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> sent;
    };
    const std::vector<Case> cases = {
        {"crlf", recA + "\r\n" + recB + "\r\n" + eof + "\r\n", {recA, recB, eof}},
        {"lone lf", recA + "\n" + recB + "\n" + eof + "\n", {recA, recB, eof}},
        {"lone cr", recA + "\r" + recB + "\r" + eof + "\r", {recA, recB, eof}},
        {"no final terminator", recA + "\r\n" + eof, {recA, eof}},
        {"eof first", eof + "\r\n" + recA + "\r\n", {eof}},
        {"after eof never read", recA + "\r\n" + eof + "\r\n:0400000012\r\n", {recA, eof}},
        {"three all-FF skipped",
         recA + "\r\n" + allFF + "\r\n" + allFF + "\r\n" + allFF + "\r\n" + recB + "\r\n" + eof,
         {recA, recB, eof}},
        {"empty data record skipped", recA + "\r\n:0000000000\r\n" + eof, {recA, eof}},
        {"blank, comment and indented lines",
         "\r\n; built 2026\r\n" + recA + "\r\n\r\n " + recB + "\r\n" + eof,
         {recA, eof}},
        {"sent as it stands",
         ":0201000012ab40  trailing text\r\n" + eof,
         {":0201000012ab40  trailing text", eof}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimWorld fresh;
        fresh.setUpPort(9600, device_manual);
        fresh.connect({});
        fresh.chooseFile(c.file);
        fresh.startAndRun();
        EXPECT_EQ(fresh.recordsSent(), c.sent);
        EXPECT_EQ(fresh.device->records(), c.sent);
        EXPECT_EQ(fresh.eraseRequestsSent(), 1);
        EXPECT_EQ(fresh.boxes.texts().back(), text::DownloadComplete);
        EXPECT_EQ(fresh.m.cstate, cs_file_done);
    }
}

TEST_F(Records, ProgressCountsEveryCharacterRead) {
    // rec + 1 for the line read first; a skipped blank line read first counts
    // 0 + 1 and the record read after it counts its length alone.
    const std::string file = recA + "\r\n\r\n" + recB + "\r\n" + eof + "\r\n";
    world.setUpPort(9600, device_manual);
    world.connect({});
    world.chooseFile(file);
    world.start();
    world.loop.runUntil([&] { return world.recordsSent().size() == 2; });
    EXPECT_EQ(world.m.file_pos, static_cast<int32_t>(recA.size() + 1 + 1 + recB.size()));
    EXPECT_EQ(world.form.prbValue, static_cast<float>(world.m.file_pos));
    EXPECT_LT(world.m.file_pos, world.m.file_len);
    world.loop.runAll();
    EXPECT_EQ(world.m.file_len, static_cast<int32_t>(file.size()));
}

TEST_F(Records, SingleUnterminatedLinePassesTheMaximumByOne) {
    Outcome run = download(eof);
    EXPECT_EQ(run.sent, (std::vector<std::string>{eof}));
    EXPECT_EQ(run.filePos, static_cast<int32_t>(eof.size()) + 1);
    EXPECT_EQ(world.m.file_len, static_cast<int32_t>(eof.size()));
}

TEST_F(Records, BadChecksumIsRefusedBeforeTheDeviceIsTouched) {
    const std::string bad = ":0400100012FF34FF00";
    Outcome run = download(recA + "\r\n" + bad + "\r\n" + eof + "\r\n");
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(run.boxes, (std::vector<std::string>{text::InvalidRecord}));
    EXPECT_EQ(world.m.cstate, cs_file_done);
    EXPECT_FALSE(world.m.hex_file_open);
    EXPECT_FALSE(world.form.cmdStartEnabled);
    EXPECT_FALSE(world.form.prbVisible);
    EXPECT_EQ(world.form.panelText[2], " ");
}

TEST_F(Records, RecordCutShortIsRefusedToo) {
    Outcome run = download(recA + "\r\n:10010000AABB\r\n" + eof);
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(run.boxes, (std::vector<std::string>{text::InvalidRecord}));
}

TEST_F(Records, BadChecksumAfterTheEndOfFileRecordIsNeverRead) {
    Outcome run = download(recA + "\r\n" + eof + "\r\n:0400100012FF34FF00\r\n");
    EXPECT_EQ(run.sent, (std::vector<std::string>{recA, eof}));
    EXPECT_EQ(run.boxes.back(), text::DownloadComplete);
}

} // namespace
} // namespace quill::sim
