// SPDX-License-Identifier: MIT
// The receive processing: every byte is judged against the state it finds,
// during the Tracker handshake only the last byte of a batch counts. And the
// Tracker's command frames, byte by byte.

#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

const std::string rec = dataRecord(0x0000, {0x01, 0x02});
const std::string eof = ":00000001FF";

struct RxCase {
    const char* name;
    int16_t state;
    std::vector<uint8_t> batch;
    int16_t stateAfter;
    int recordsSent;
    bool timerRunningAfter;
};

class Receive : public ::testing::TestWithParam<RxCase> {};

TEST_P(Receive, MovesTheStateByteByByte) {
    const RxCase& c = GetParam();
    SimWorld world;
    world.setUpPort(9600, device_manual);
    world.chooseFile(rec + "\r\n" + rec + "\r\n" + rec + "\r\n" + eof + "\r\n");
    world.start(); // prompt answered, erase request written, timer armed
    ASSERT_EQ(world.m.cstate, cs_flash_erase);
    const size_t before = world.port.writes().size();
    world.m.cstate = c.state;

    world.engine.process_rx(c.batch.data(), static_cast<int16_t>(c.batch.size()));

    EXPECT_EQ(world.m.cstate, c.stateAfter);
    EXPECT_EQ(static_cast<int>(world.port.writes().size() - before), c.recordsSent);
    EXPECT_EQ(world.timer.enabled(), c.timerRunningAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Receive,
    ::testing::Values(
        RxCase{"EraseXoff", cs_flash_erase, {0x13}, cs_program_ready, 0, false},
        RxCase{"EraseOther", cs_flash_erase, {0x11, 0x00, 0x04}, cs_flash_erase, 0, true},
        RxCase{"EraseXoffXon", cs_flash_erase, {0x13, 0x11}, cs_record_download, 1, true},
        RxCase{"ReadyXon", cs_program_ready, {0x11}, cs_record_download, 1, true},
        RxCase{"ReadyOther", cs_program_ready, {0x13, 0x00}, cs_program_ready, 0, true},
        RxCase{"RecordXoff", cs_record_download, {0x13}, cs_after_xoff, 0, false},
        RxCase{"RecordLoneXon", cs_record_download, {0x11}, cs_record_download, 0, false},
        RxCase{"RecordOther", cs_record_download, {0x00, 0x41}, cs_record_download, 0, true},
        RxCase{"AfterXoffAnyByte", cs_after_xoff, {0x00}, cs_record_download, 1, true},
        RxCase{"AfterXoffXon", cs_after_xoff, {0x11}, cs_record_download, 1, true},
        RxCase{"XoffXonReleasesOne", cs_record_download, {0x13, 0x11}, cs_record_download, 1, true},
        RxCase{"TwoPairsReleaseTwo",
               cs_record_download,
               {0x13, 0x11, 0x13, 0x11},
               cs_record_download,
               2,
               true},
        RxCase{"Off", cs_off, {0x13, 0x11, 0x13, 0x11}, cs_off, 0, true},
        RxCase{"Programming", cs_programming, {0x13, 0x11}, cs_programming, 0, true},
        RxCase{"FileDone", cs_file_done, {0x13, 0x11}, cs_file_done, 0, true}),
    [](const ::testing::TestParamInfo<RxCase>& info) { return info.param.name; });

struct TrackerRxCase {
    const char* name;
    int16_t state;
    std::vector<uint8_t> batch;
    bool closed;        // the wait dialog closed at once
    const char* report; // or turned into this error report
    int16_t stateAfter;
};

class TrackerReceive : public ::testing::TestWithParam<TrackerRxCase> {};

TEST_P(TrackerReceive, JudgesTheLastByteOfTheBatch) {
    const TrackerRxCase& c = GetParam();
    SimWorld world;
    world.m.cstate = c.state;
    world.waitDialog.load();
    world.waitDialog.setAcknowledging(false);
    world.timer.setInterval(500);
    world.timer.setEnabled(true);
    world.m.TrackerACK = false;

    world.engine.process_rx(c.batch.data(), static_cast<int16_t>(c.batch.size()));

    EXPECT_FALSE(world.timer.enabled());
    EXPECT_TRUE(world.m.TrackerACK); // any answer counts as an answer
    EXPECT_EQ(world.m.cstate, c.stateAfter);
    EXPECT_EQ(world.waitDialog.loaded(), !c.closed);
    if (!c.closed) {
        EXPECT_TRUE(world.waitDialog.acknowledging());
        EXPECT_EQ(world.waitDialog.message(), c.report);
    }
    EXPECT_TRUE(world.port.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TrackerReceive,
    ::testing::Values(
        TrackerRxCase{"SelectAck", cs_tracker_select, {0x04}, true, "", cs_tracker_select},
        TrackerRxCase{
            "SelectNakThenAck", cs_tracker_select, {0x05, 0x04}, true, "", cs_tracker_select},
        TrackerRxCase{"SelectAckThenNak",
                      cs_tracker_select,
                      {0x04, 0x05},
                      false,
                      text::TrackerResponseError,
                      cs_off},
        TrackerRxCase{
            "SelectOther", cs_tracker_select, {0x11}, false, text::TrackerResponseUnknown, cs_off},
        TrackerRxCase{"ProgAck", cs_tracker_prog, {0x04}, true, "", cs_tracker_prog},
        TrackerRxCase{
            "ProgNak", cs_tracker_prog, {0x05}, false, text::TrackerResponseError, cs_off},
        TrackerRxCase{"RebootXon", cs_tracker_reboot, {0x00, 0x11}, true, "", cs_tracker_reboot},
        TrackerRxCase{
            "RebootNak", cs_tracker_reboot, {0x05}, false, text::TrackerNakReboot, cs_off},
        TrackerRxCase{
            "RebootAck", cs_tracker_reboot, {0x04}, false, text::TrackerRebootUnknown, cs_off}),
    [](const ::testing::TestParamInfo<TrackerRxCase>& info) { return info.param.name; });

TEST(TrackerFrames, BuildPacketGivesTheFramesByteForByte) {
    std::vector<uint8_t> frame;
    const uint8_t data[] = {0x38};
    build_packet(frame, 0x0F, 0x00, 0x21, 0, data);
    EXPECT_EQ(frame, (std::vector<uint8_t>{0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00}));
    build_packet(frame, 0x0F, 0x00, 0x23, 1, data);
    EXPECT_EQ(frame, (std::vector<uint8_t>{0x02, 0x04, 0x0F, 0x00, 0x23, 0x38, 0x92, 0x00}));
    // The checksum wraps: length, header, command and data add up to 0 mod 256.
    const uint8_t many[] = {0xFF, 0xFF, 0xFE};
    build_packet(frame, 0xFF, 0xFF, 0xFF, 3, many);
    EXPECT_EQ(frame,
              (std::vector<uint8_t>{0x02, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x01, 0x00}));
}

} // namespace
} // namespace quill::sim
