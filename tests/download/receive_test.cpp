// SPDX-License-Identifier: MIT
// The receive processing: every byte is judged against the state it finds,
// during the Tracker handshake only the last byte of a batch counts. The
// Tracker's frames are checked on the wire by the conversation table.

#include "download/downloadtexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quill::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Receive, MovesTheStateByteByByte) {
    const struct {
        int16_t state;
        Bytes batch;
        int16_t stateAfter;
        size_t recordsSent;
        bool timerRunningAfter;
    } cases[] = {
        {cs_flash_erase, {0x13}, cs_program_ready, 0, false},
        {cs_flash_erase, {0x11, 0x00, 0x04}, cs_flash_erase, 0, true},
        {cs_flash_erase, {0x13, 0x11}, cs_record_download, 1, true},
        {cs_program_ready, {0x11}, cs_record_download, 1, true},
        {cs_program_ready, {0x13, 0x00}, cs_program_ready, 0, true},
        {cs_record_download, {0x13}, cs_after_xoff, 0, false},
        {cs_record_download, {0x11}, cs_record_download, 0, false}, // a lone XON releases nothing
        {cs_record_download, {0x00, 0x41}, cs_record_download, 0, true},
        {cs_after_xoff, {0x00}, cs_record_download, 1, true}, // any byte after XOFF releases one
        {cs_after_xoff, {0x11}, cs_record_download, 1, true},
        {cs_record_download, {0x13, 0x11}, cs_record_download, 1, true},
        {cs_record_download, {0x13, 0x11, 0x13, 0x11}, cs_record_download, 2, true},
        {cs_off, {0x13, 0x11, 0x13, 0x11}, cs_off, 0, true},
        {cs_programming, {0x13, 0x11}, cs_programming, 0, true},
        {cs_file_done, {0x13, 0x11}, cs_file_done, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << " " << testing::PrintToString(c.batch));
        SimWorld world;
        world.setUpPort(9600, device_manual);
        world.chooseFile(test::hexFile(3));
        world.start(); // prompt answered, erase request written, timer armed
        ASSERT_EQ(world.m.cstate, cs_flash_erase);
        world.m.cstate = c.state;
        world.engine.process_rx(c.batch.data(), static_cast<int16_t>(c.batch.size()));
        EXPECT_EQ(std::tuple(world.m.cstate, world.recordsSent().size(), world.timer.enabled()),
                  std::tuple(c.stateAfter, c.recordsSent, c.timerRunningAfter));
    }
}

TEST(Receive, JudgesTheLastByteOfATrackerBatch) {
    const struct {
        int16_t state;
        Bytes batch;
        std::string report; // the wait dialog turned into this report; empty: closed at once
        int16_t stateAfter;
    } cases[] = {
        {cs_tracker_select, {0x04}, "", cs_tracker_select},
        {cs_tracker_select, {0x05, 0x04}, "", cs_tracker_select},
        {cs_tracker_select, {0x04, 0x05}, text::TrackerResponseError, cs_off},
        {cs_tracker_select, {0x11}, text::TrackerResponseUnknown, cs_off},
        {cs_tracker_prog, {0x04}, "", cs_tracker_prog},
        {cs_tracker_prog, {0x05}, text::TrackerResponseError, cs_off},
        {cs_tracker_reboot, {0x00, 0x11}, "", cs_tracker_reboot},
        {cs_tracker_reboot, {0x05}, text::TrackerNakReboot, cs_off},
        {cs_tracker_reboot, {0x04}, text::TrackerRebootUnknown, cs_off},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << " " << testing::PrintToString(c.batch));
        SimWorld world;
        world.m.cstate = c.state;
        world.waitDialog.setAcknowledging(false);
        world.timer.setInterval(500);
        world.engine.process_rx(c.batch.data(), static_cast<int16_t>(c.batch.size()));
        // Any answer counts as an answer; nothing is written.
        EXPECT_EQ(std::tuple(world.timer.enabled(), world.m.TrackerACK, world.m.cstate,
                             world.waitDialog.loaded() ? world.waitDialog.message() : "",
                             world.port.writes().size()),
                  std::tuple(false, true, c.stateAfter, c.report, 0u));
        EXPECT_TRUE(c.report.empty() || world.waitDialog.acknowledging());
    }
}

} // namespace
} // namespace quill::sim
