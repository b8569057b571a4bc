// SPDX-License-Identifier: MIT
// The Tracker handshake: the frames on the wire, the parity switch, and how
// every answer, and every silence, ends each step.

#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

using devsim::Config;
using devsim::Fault;
using devsim::Kind;
using Bytes = std::vector<uint8_t>;

const Bytes selectFrame = {0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00};
const Bytes programFrame = {0x02, 0x04, 0x0F, 0x00, 0x23, 0x38, 0x92, 0x00};
const std::string eraseRequest = ":01000000FF00\r\n";
const std::string rec = dataRecord(0x0000, {0xCA, 0xFE});
const std::string eof = ":00000001FF";

class Tracker : public ::testing::Test {
  protected:
    void SetUp() override { world.chooseFile(rec + "\r\n" + eof + "\r\n"); }
    void run(int32_t baud, Config config) {
        world.setUpPort(baud, device_tracker);
        config.kind = Kind::Tracker;
        world.connect(config);
        world.startAndRun();
    }
    const WireWrite& write(size_t i) const { return world.port.writes().at(i); }
    SimWorld world;
};

TEST(TrackerFrames, BuildPacketGivesTheFramesByteForByte) {
    Bytes frame;
    const uint8_t data[] = {0x38};
    build_packet(frame, 0x0F, 0x00, 0x21, 0, data);
    EXPECT_EQ(frame, selectFrame);
    build_packet(frame, 0x0F, 0x00, 0x23, 1, data);
    EXPECT_EQ(frame, programFrame);
    // The checksum wraps: length, header, command and data add up to 0 mod 256.
    const uint8_t many[] = {0xFF, 0xFF, 0xFF};
    build_packet(frame, 0xFF, 0xFF, 0xFF, 3, many);
    ASSERT_EQ(frame.size(), 10u);
    unsigned sum = 0;
    for (size_t i = 1; i <= 8; ++i) {
        sum += frame[i];
    }
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_EQ(frame.back(), 0x00);
}

TEST_F(Tracker, AcknowledgedHandshakeSwitchesToMarkParityAndDownloads) {
    run(9600, {});
    ASSERT_GE(world.port.writes().size(), 5u);
    EXPECT_EQ(write(0).bytes, selectFrame);
    EXPECT_EQ(write(0).settings, "9600,E,8,1");
    EXPECT_EQ(write(1).bytes, programFrame);
    EXPECT_EQ(write(1).settings, "9600,E,8,1");
    EXPECT_EQ(std::string(write(2).bytes.begin(), write(2).bytes.end()), eraseRequest);
    EXPECT_EQ(write(2).settings, "9600,M,8,1");
    EXPECT_EQ(world.port.settings(), "9600,M,8,1");
    EXPECT_EQ(world.waitDialog.shows(), 3);
    EXPECT_TRUE(world.waitDialog.reports().empty());
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec, eof}));
    // No prompt for a Tracker: the only box is the end.
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::DownloadComplete}));
}

TEST_F(Tracker, WaitsTheRightTimeForEachAnswer) {
    world.waitDialog.okAfter = 0;
    run(38400, {.fault = Fault::RebootSilent});
    EXPECT_EQ(write(0).settings, "38400,E,8,1");
    EXPECT_EQ(write(2).settings, "38400,M,8,1");
    // The reboot wait starts at the parity switch, right after the program
    // frame's ACK (5 ms), and runs 10 s.
    const Ms programAt = write(1).at;
    const Ms eraseAt = write(2).at;
    EXPECT_EQ(eraseAt, programAt + 5 + 10'000);
    EXPECT_EQ(world.waitDialog.reports(), (std::vector<std::string>{text::TrackerNoRebootAnswer}));
}

struct Outcome {
    const char* name;
    Fault fault;
    std::vector<std::string> reports;
    bool programFrameSent;
    std::string parityAtErase;
};

class TrackerOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(TrackerOutcome, ReportsInTheWaitDialogAndSendsTheEraseRequestRegardless) {
    const Outcome& o = GetParam();
    SimWorld world;
    world.chooseFile(rec + "\r\n" + eof + "\r\n");
    world.setUpPort(9600, device_tracker);
    world.connect({.kind = Kind::Tracker, .fault = o.fault});
    world.startAndRun();

    EXPECT_EQ(world.waitDialog.reports(), o.reports);
    EXPECT_EQ(world.port.writes().at(0).bytes, selectFrame);
    const bool programSent =
        world.port.writes().size() > 1 && world.port.writes()[1].bytes == programFrame;
    EXPECT_EQ(programSent, o.programFrameSent);
    ASSERT_EQ(world.eraseRequestsSent(), 1);
    const WireWrite& erase = world.port.writes().at(programSent ? 2 : 1);
    EXPECT_EQ(std::string(erase.bytes.begin(), erase.bytes.end()), eraseRequest);
    EXPECT_EQ(erase.settings, o.parityAtErase);
    EXPECT_FALSE(world.waitDialog.loaded());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TrackerOutcome,
    ::testing::Values(
        Outcome{"NoTracker", Fault::Silent, {text::TrackerNoSelectAnswer}, false, "9600,E,8,1"},
        Outcome{"SelectNak", Fault::SelectNak, {text::TrackerResponseError}, true, "9600,M,8,1"},
        Outcome{"SelectUnknown",
                Fault::SelectUnknown,
                {text::TrackerResponseUnknown},
                true,
                "9600,M,8,1"},
        Outcome{"ProgNak",
                Fault::ProgNak,
                {text::TrackerResponseError, text::TrackerNoRebootAnswer},
                true,
                "9600,M,8,1"},
        Outcome{"ProgUnknown",
                Fault::ProgUnknown,
                {text::TrackerResponseUnknown, text::TrackerNoRebootAnswer},
                true,
                "9600,M,8,1"},
        Outcome{"RebootNak", Fault::RebootNak, {text::TrackerNakReboot}, true, "9600,M,8,1"},
        Outcome{"Reboot04", Fault::Reboot04, {text::TrackerRebootUnknown}, true, "9600,M,8,1"},
        Outcome{"RebootSilent",
                Fault::RebootSilent,
                {text::TrackerNoRebootAnswer},
                true,
                "9600,M,8,1"}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return info.param.name; });

TEST_F(Tracker, SilentTrackerIsReportedAfter500msThenTheEraseTimesOutToo) {
    world.waitDialog.okAfter = 2000;
    run(9600, {.fault = Fault::Silent});
    ASSERT_EQ(world.waitDialog.reports().size(), 1u);
    // OK pressed 2 s after the report, which came 500 ms after the frame.
    EXPECT_EQ(write(1).at, write(0).at + 500 + 2000);
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::NoEraseResponse}));
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_FALSE(world.m.TrackerACK);
}

TEST_F(Tracker, OkDuringTheProgramWaitEndsTheHandshake) {
    world.setUpPort(9600, device_tracker);
    world.connect({.kind = Kind::Tracker, .frameAckMs = 300});
    // Select frame at 0, its ACK and the program frame at 300, that ACK due at 600.
    bool acknowledgingThen = false;
    world.loop.schedule(400, [&] { acknowledgingThen = world.waitDialog.acknowledging(); });
    world.waitDialog.pressOkAt(400);
    world.startAndRun();

    // The program wait's dialog is freshly loaded and so takes input.
    EXPECT_TRUE(acknowledgingThen);
    EXPECT_EQ(world.port.writes().at(1).bytes, programFrame);
    EXPECT_FALSE(world.m.TrackerACK);
    // No parity switch: the erase request goes out at even parity, unheard.
    ASSERT_EQ(world.port.writes().size(), 3u);
    EXPECT_EQ(world.port.writes()[2].settings, "9600,E,8,1");
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::NoEraseResponse}));
}

TEST_F(Tracker, WaitingDialogTakesNoInput) {
    world.setUpPort(9600, device_tracker);
    world.connect({.kind = Kind::Tracker, .rebootMs = 2000});
    world.waitDialog.pressOkAt(2);   // during the select wait
    world.waitDialog.pressOkAt(600); // during the reboot wait
    world.startAndRun();
    EXPECT_TRUE(world.waitDialog.reports().empty());
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
}

TEST_F(Tracker, SecondTrackerDownloadWithoutPortSetupSendsItsSelectFrameAtMark) {
    run(9600, {});
    const size_t first = world.port.writes().size();
    world.chooseFile(rec + "\r\n" + eof + "\r\n");
    world.connect({.kind = Kind::Tracker});
    world.startAndRun();
    EXPECT_EQ(world.port.writes().at(first).bytes, selectFrame);
    EXPECT_EQ(world.port.writes().at(first).settings, "9600,M,8,1");
}

TEST_F(Tracker, PortLostDuringTheHandshakeStopsWithOneMessage) {
    world.setUpPort(9600, device_tracker);
    world.connect({.kind = Kind::Tracker, .rebootMs = 5000});
    world.port.unplug(1000);
    world.startAndRun();
    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{
                  "The serial port COM1 (sim) was disconnected.\rDownload stopped."}));
    EXPECT_EQ(world.eraseRequestsSent(), 0);
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_FALSE(world.waitDialog.loaded());
}

TEST_F(Tracker, OtherDeviceOptionsSendTheEraseRequestAtOnce) {
    world.setUpPort(9600, device_manual);
    world.m.device_type = 2;
    world.connect({});
    world.startAndRun();
    EXPECT_EQ(std::string(write(0).bytes.begin(), write(0).bytes.end()), eraseRequest);
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::DownloadComplete}));
}

} // namespace
} // namespace quill::sim
