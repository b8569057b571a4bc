// SPDX-License-Identifier: MIT
// Whole downloads into a Manual device, on the simulated clock, checked on
// the wire byte by byte and in what the window shows.

#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <filesystem>
#include <functional>
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
    world.port.setPortOpen(false); // the start opens it
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
    // XON and XOFF must reach the program as data, byte by byte.
    EXPECT_EQ(world.port.handshaking, 0);
    EXPECT_EQ(world.port.rThreshold, 1);
    EXPECT_EQ(world.port.inputMode, 1);
    // Every message went out in one write, at mark parity.
    ASSERT_EQ(world.port.writes().size(), 5u);
    for (const WireWrite& w : world.port.writes()) {
        EXPECT_EQ(w.settings, "9600,M,8,1");
    }
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

TEST_F(ManualDownload, LateAnswerWhileTheTimeoutBoxIsOpenSendsNothing) {
    world.connect({.eraseAckMs = 700, .eraseMs = 10});
    world.boxes.answerNext({MsgResult::Ok, 0});    // the prompt
    world.boxes.answerNext({MsgResult::Ok, 5000}); // the timeout box, read slowly
    world.startAndRun();

    EXPECT_EQ(world.boxes.texts().back(), text::NoEraseResponse);
    EXPECT_EQ(world.port.wire(), erase);
    EXPECT_EQ(world.m.cstate, cs_off);
}

TEST_F(ManualDownload, HowTheDeviceAnswersDecidesWhatIsSent) {
    struct Case {
        const char* name;
        Config device;
        std::vector<std::string> sent;
        size_t boxes; // the prompt, and "Download complete" if it ends
        int16_t stateAfter;
    };
    const std::vector<Case> cases = {
        // No time limit while the device erases.
        {"slow erase",
         {.fault = Fault::SlowErase, .slowEraseMs = 8000},
         {rec1, rec2, rec3, eof},
         2,
         cs_file_done},
        // Whatever follows an XOFF releases the next record.
        {"junk after xoff",
         {.fault = Fault::JunkAfterXoff},
         {rec1, rec2, rec3, eof},
         2,
         cs_file_done},
        // A lone XON releases nothing; the download waits, with no message.
        {"xon only", {.fault = Fault::XonOnlyAfterRecord}, {rec1}, 1, cs_record_download},
        {"silent mid-transfer",
         {.fault = Fault::SilentAfterRecords, .silentAfter = 2},
         {rec1, rec2, rec3},
         1,
         cs_record_download},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimWorld fresh;
        fresh.setUpPort(9600, device_manual);
        fresh.chooseFile(firmware);
        fresh.connect(c.device);
        fresh.start();
        fresh.loop.runFor(3'600'000);
        EXPECT_EQ(fresh.recordsSent(), c.sent);
        EXPECT_EQ(fresh.boxes.shown().size(), c.boxes);
        EXPECT_EQ(fresh.m.cstate, c.stateAfter);
    }
}

TEST_F(ManualDownload, CancelAtThePromptSendsNothing) {
    world.setUpPort(38400, device_manual);
    world.connect({});
    world.boxes.answerNext({MsgResult::Cancel, 0});
    world.startAndRun();
    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{"Prepare device for download at 38400\r"}));
    EXPECT_TRUE(world.port.writes().empty());
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_TRUE(world.m.hex_file_open);

    world.startAndRun(); // asked again, and this time confirmed
    EXPECT_EQ(world.boxes.texts().back(), text::DownloadComplete);
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

TEST_F(ManualDownload, StartThatCannotGoOnStopsBeforeAnyByteIsWritten) {
    struct Case {
        const char* name;
        std::function<void(SimWorld&)> setUp;
        std::string message; // the whole message, or a part of it
        DownloadEnd end;
    };
    const std::vector<Case> cases = {
        {"no file chosen", [](SimWorld& w) { w.m.hex_file_name.clear(); }, text::FileMustBeSelected,
         DownloadEnd::FileError},
        {"file missing",
         [](SimWorld& w) { w.m.hex_file_name = (w.dir.path() / "missing.hex").string(); },
         text::OpenFileError, DownloadEnd::FileError},
        {"port busy",
         [](SimWorld& w) {
             w.port.setPortOpen(false);
             w.port.busy.insert(1);
         },
         "COM1 (sim) is used by another program.", DownloadEnd::PortFailure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimWorld fresh;
        fresh.setUpPort(9600, device_manual);
        fresh.chooseFile(firmware);
        c.setUp(fresh);
        fresh.start();
        ASSERT_EQ(fresh.boxes.shown().size(), 1u);
        EXPECT_NE(fresh.boxes.texts()[0].find(c.message), std::string::npos);
        EXPECT_TRUE(fresh.port.writes().empty());
        EXPECT_EQ(fresh.m.cstate, cs_off);
        EXPECT_EQ(fresh.told.ends, std::vector<DownloadEnd>{c.end});
    }
}

// The file can no longer be opened when Start is pressed again: the running
// download ends at once, and nothing it was waiting for sends anything more.
TEST_F(ManualDownload, StartDuringADownloadWithAnUnopenableFileEndsItAtOnce) {
    world.connect({.recordAckMs = 20, .recordWriteMs = 20});
    world.start();
    world.loop.runUntil([&] { return world.recordsSent().size() == 2; });
    std::filesystem::remove(world.m.hex_file_name);
    world.start();
    EXPECT_EQ(world.m.cstate, cs_off);
    EXPECT_FALSE(world.timer.enabled());
    world.loop.runAll();

    EXPECT_EQ(world.recordsSent(), (std::vector<std::string>{rec1, rec2}));
    EXPECT_EQ(
        world.boxes.texts(),
        (std::vector<std::string>{"Prepare device for download at 9600\r", text::OpenFileError}));
    EXPECT_EQ(world.told.ends,
              (std::vector<DownloadEnd>{DownloadEnd::Superseded, DownloadEnd::FileError}));
    EXPECT_FALSE(world.device->sawEndOfFile());
}

// quill-cli's time limit or a signal: the download ends at once, quietly,
// in whatever phase it is, and is told once.
TEST_F(ManualDownload, StoppedByItsOwnerEndsAtOnceAndQuietly) {
    for (size_t recordsBefore : {0u, 2u}) {
        SCOPED_TRACE(recordsBefore);
        SimWorld w;
        w.setUpPort(9600, device_manual);
        w.chooseFile(firmware);
        w.connect({.eraseAckMs = 100, .recordAckMs = 20});
        w.start();
        w.loop.runUntil([&] { return w.recordsSent().size() == recordsBefore; });
        const size_t writes = w.port.writes().size();
        w.engine.stopDownload(DownloadEnd::Interrupted);
        w.engine.stopDownload(DownloadEnd::Interrupted);
        w.loop.runAll();
        EXPECT_EQ(w.port.writes().size(), writes);
        EXPECT_EQ(w.boxes.shown().size(), 1u); // the prompt only
        EXPECT_EQ(w.m.cstate, cs_off);
        EXPECT_FALSE(w.form.lblMsgVisible);
        EXPECT_EQ(w.told.ends, std::vector<DownloadEnd>{DownloadEnd::Interrupted});
    }
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
    EXPECT_EQ(world.told.ends, std::vector<DownloadEnd>{DownloadEnd::PortFailure});
    // Like any port that COM Setup's OK left closed.
    EXPECT_EQ(world.form.panelText[1], "COM not set   ");
}

} // namespace
} // namespace quill::sim
