// Whole downloads into a Manual device, on the simulated clock, checked on
// the wire byte by byte and in what the window shows.

#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

using devsim::Config;
using devsim::Fault;

const std::string erase = ":01000000FF00\r\n";
const std::string rec1 = dataRecord(0x0000, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
const std::string rec2 = dataRecord(0x0008, {0xDE, 0xAD, 0xBE, 0xEF});
const std::string rec3 = dataRecord(0x0010, {0x55, 0xAA});
const std::string eof = ":00000001FF";
const std::string firmware = rec1 + "\r\n" + rec2 + "\r\n" + rec3 + "\r\n" + eof + "\r\n";

class ManualDownload : public ::testing::Test {
  protected:
    void SetUp() override {
        world.setUpPort(9600, device_manual);
        world.chooseFile(firmware);
    }
    SimWorld world;
};

TEST_F(ManualDownload, SendsEraseRequestThenEveryRecordAndEndsComplete) {
    world.connect({});
    world.startAndRun();

    EXPECT_EQ(world.port.wire(),
              erase + rec1 + "\r\n" + rec2 + "\r\n" + rec3 + "\r\n" + eof + "\r\n");
    ASSERT_EQ(world.boxes.shown().size(), 2u);
    EXPECT_EQ(world.boxes.shown()[0].text, "Prepare device for download at 9600\r");
    EXPECT_EQ(world.boxes.shown()[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(world.boxes.shown()[1].text, text::DownloadComplete);
    EXPECT_EQ(world.m.cstate, cs_file_done);
    EXPECT_FALSE(world.m.hex_file_open);
    EXPECT_FALSE(world.file.isOpen());
    EXPECT_FALSE(world.form.cmdStartEnabled);
    EXPECT_FALSE(world.form.lblMsgVisible);
    EXPECT_FALSE(world.form.prbVisible);
    EXPECT_EQ(world.form.prbValue, 0);
    EXPECT_EQ(world.form.panelText[2], " ");
    EXPECT_EQ(world.device->badRecords(), 0);
    EXPECT_TRUE(world.device->sawEndOfFile());
    // Every message went out in one write, at mark parity.
    ASSERT_EQ(world.port.writes().size(), 5u);
    for (const WireWrite& w : world.port.writes()) {
        EXPECT_EQ(w.settings, "9600,M,8,1");
    }
}

TEST_F(ManualDownload, PortIsSetUpForRawBytesAtEachStart) {
    world.connect({});
    world.startAndRun();
    EXPECT_EQ(world.port.handshaking, 0);
    EXPECT_EQ(world.port.rThreshold, 1);
    EXPECT_EQ(world.port.sThreshold, 0);
    EXPECT_EQ(world.port.inputMode, 1);
    EXPECT_EQ(world.port.parityReplace, "False");
}

TEST_F(ManualDownload, ShowsEachPhaseWhileItRuns) {
    world.connect({.eraseMs = 1000});
    world.start();
    EXPECT_TRUE(world.form.lblMsgVisible);
    EXPECT_EQ(world.form.lblMsgCaption, text::ErasingFlash);
    EXPECT_TRUE(world.form.prbVisible);
    EXPECT_EQ(world.form.prbMaxValue, static_cast<float>(firmware.size()));
    EXPECT_EQ(world.m.cstate, cs_flash_erase);
    world.loop.runFor(500);
    EXPECT_EQ(world.m.cstate, cs_program_ready);
    world.loop.runFor(1000);
    EXPECT_EQ(world.form.lblMsgCaption, text::ProgrammingFlash);
    // The bar reached its maximum while "Download complete" was shown.
    ASSERT_GE(world.form.prbHistory.size(), 2u);
    EXPECT_EQ(world.form.prbHistory[world.form.prbHistory.size() - 2], world.form.prbMaxValue);
}

TEST_F(ManualDownload, XoffAndXonInOneBatchSendTheFirstRecordAtOnce) {
    world.connect({.burst = true});
    world.start();
    world.loop.runUntil([&] { return world.port.writes().size() == 2; });
    const Ms batchAt = world.port.writes()[0].at + 5 + 50; // eraseAckMs + eraseMs
    EXPECT_EQ(world.port.writes()[1].at, batchAt);
    world.loop.runAll();
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1, rec2, rec3, eof}));
}

TEST_F(ManualDownload, NoXoffWithin500msReportsTheEraseTimeout) {
    world.connect({.fault = Fault::NoEraseXoff});
    world.startAndRun();

    ASSERT_EQ(world.boxes.shown().size(), 2u);
    const ShownBox& box = world.boxes.shown()[1];
    EXPECT_EQ(box.text, text::NoEraseResponse);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.shownAt, world.port.writes()[0].at + 500);
    EXPECT_EQ(world.port.wire(), erase);
    EXPECT_EQ(world.m.cstate, cs_off);
    // The window and the file stay as they were until the next start.
    EXPECT_TRUE(world.form.lblMsgVisible);
    EXPECT_EQ(world.form.lblMsgCaption, text::ErasingFlash);
    EXPECT_TRUE(world.form.prbVisible);
    EXPECT_TRUE(world.m.hex_file_open);
}

TEST_F(ManualDownload, AnyOtherAnswerThanXoffStillTimesOut) {
    world.start();
    world.port.deliver(100, {0x11});
    world.port.deliver(200, {0x00, 0x41});
    world.loop.runAll();
    ASSERT_EQ(world.boxes.texts().back(), text::NoEraseResponse);
    EXPECT_EQ(world.boxes.shown().back().shownAt, world.port.writes()[0].at + 500);
    EXPECT_EQ(world.port.wire(), erase);
}

TEST_F(ManualDownload, LateAnswerWhileTheTimeoutBoxIsOpenSendsNothing) {
    world.connect({.eraseAckMs = 700, .eraseMs = 10});
    world.boxes.answerNext({MsgResult::Ok, 0});    // the prompt
    world.boxes.answerNext({MsgResult::Ok, 5000}); // the timeout box, read slowly
    world.startAndRun();

    EXPECT_EQ(world.boxes.texts().back(), text::NoEraseResponse);
    EXPECT_EQ(world.port.wire(), erase);
    EXPECT_EQ(world.m.cstate, cs_off);
}

TEST_F(ManualDownload, SlowEraseHasNoTimeLimit) {
    world.connect({.fault = Fault::SlowErase, .slowEraseMs = 8000});
    world.startAndRun();
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
    EXPECT_EQ(world.recordsSent().size(), 4u);
}

TEST_F(ManualDownload, XonOnlyDeviceStallsAfterTheFirstRecordWithoutAMessage) {
    world.connect({.fault = Fault::XonOnlyAfterRecord});
    world.start();
    world.loop.runFor(60'000);
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1}));
    EXPECT_EQ(world.boxes.shown().size(), 1u); // the prompt only
    EXPECT_EQ(world.m.cstate, cs_record_download);
}

TEST_F(ManualDownload, DeviceSilentMidTransferWaitsForever) {
    world.connect({.fault = Fault::SilentAfterRecords, .silentAfter = 2});
    world.start();
    world.loop.runFor(3'600'000);
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1, rec2, rec3}));
    EXPECT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_GE(world.timer.expiries(), 1); // the record timer ran out without effect
}

TEST_F(ManualDownload, AnyByteAfterXoffReleasesTheNextRecord) {
    world.connect({.fault = Fault::JunkAfterXoff});
    world.startAndRun();
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1, rec2, rec3, eof}));
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
}

TEST_F(ManualDownload, CancelAtThePromptSendsNothing) {
    world.connect({});
    world.boxes.answerNext({MsgResult::Cancel, 0});
    world.startAndRun();
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_TRUE(world.m.hex_file_open);

    world.startAndRun(); // asked again, and this time confirmed
    EXPECT_EQ(world.boxes.shown()[1].text, "Prepare device for download at 9600\r");
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
}

TEST_F(ManualDownload, PromptNamesTheBaudRate) {
    world.setUpPort(38400, device_manual);
    world.boxes.answerNext({MsgResult::Cancel, 0});
    world.start();
    EXPECT_EQ(world.boxes.texts().front(), "Prepare device for download at 38400\r");
}

TEST_F(ManualDownload, StartDuringADownloadBeginsAgainFromTheFirstRecord) {
    world.connect({.recordAckMs = 20, .recordWriteMs = 20});
    world.boxes.defaultAnswer = {MsgResult::Ok, 100};
    world.start();
    world.loop.runUntil([&] { return world.recordsSent().size() == 2; });
    world.start(); // the old download's answers arrive while the prompt is open
    world.loop.runAll();

    EXPECT_EQ(world.eraseRequestsSent(), 2);
    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1, rec2, rec3, eof}));
    EXPECT_EQ(world.device->records().size(), 4u);
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
}

TEST_F(ManualDownload, NothingHappensOnBytesOrEventsWhenNoDownloadRuns) {
    world.port.deliver(10, {0x13, 0x11, 0x13, 0x00});
    world.port.raiseEvent(20, comEventRxParity);
    world.port.raiseEvent(30, comEvCTS);
    world.loop.runAll();
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_TRUE(world.boxes.shown().empty());

    world.connect({});
    world.startAndRun();
    const size_t writes = world.port.writes().size();
    world.port.deliver(10, {0x13, 0x11, 0x13, 0x11});
    world.loop.runAll();
    EXPECT_EQ(world.port.writes().size(), writes);
    EXPECT_EQ(world.m.cstate, cs_file_done);
}

TEST_F(ManualDownload, NoFileChosenOnlySaysSo) {
    world.m.hex_file_name.clear();
    world.start();
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::FileMustBeSelected}));
    EXPECT_TRUE(world.port.writes().empty());
}

TEST_F(ManualDownload, FileThatCannotBeOpenedStopsBeforeThePrompt) {
    world.m.hex_file_name = (world.dir.path() / "missing.hex").string();
    world.start();
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{text::OpenFileError}));
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(world.m.cstate, cs_off);
}

TEST_F(ManualDownload, PortThatCannotBeOpenedStopsWithItsName) {
    world.port.setPortOpen(false);
    world.port.busy.insert(1);
    world.start();
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_NE(world.boxes.texts()[0].find("COM1"), std::string::npos);
    EXPECT_NE(world.boxes.texts()[0].find("another program"), std::string::npos);
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(world.m.cstate, cs_off);
}

TEST_F(ManualDownload, ClosedPortIsOpenedByTheStart) {
    world.port.setPortOpen(false);
    world.connect({});
    world.startAndRun();
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
}

TEST_F(ManualDownload, UnpluggedPortStopsTheDownloadOnce) {
    world.connect({.recordAckMs = 50});
    world.start();
    world.loop.runUntil([&] { return world.recordsSent().size() == 2; });
    world.port.unplug(10);
    world.loop.runFor(60'000);

    ASSERT_EQ(world.boxes.shown().size(), 2u);
    EXPECT_EQ(world.boxes.texts()[1],
              "The serial port COM1 (sim) was disconnected.\rDownload stopped.");
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_EQ(world.recordsSent().size(), 2u);
}

} // namespace
} // namespace quill::sim
