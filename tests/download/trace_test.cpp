// SPDX-License-Identifier: MIT
// The wire trace: what it says of a whole download on the simulated world,
// line by line; the writer's lines, its buffering and its failures. That the
// engine under a trace talks exactly as without one, and the trace of the
// Tracker's roads, are rows of the conversation table.

#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "testtext.h"
#include "trace/tracewriter.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

using devsim::Config;
using test::Lines;

const std::string rec = ":0400000001020304F2";
const std::string eof = ":00000001FF";
const std::string firmware = rec + "\r\n" + eof + "\r\n";

// A traced download with a writer into memory.
struct Traced {
    explicit Traced(TraceWriter::Form form = TraceWriter::Form::Full)
        : writer(
              [this](std::string_view text) {
                  ++writes;
                  out += text;
                  return true;
              },
              form) {
        t.session.addObserver(&writer);
    }
    Lines run(int32_t baud, int16_t device, Config config, const std::string& file = firmware) {
        t.world.chooseFile(file);
        t.world.setUpPort(baud, device);
        t.world.connect(config);
        t.startAndRun();
        writer.flush();
        return test::splitLines(out);
    }
    TracedWorld t;
    std::string out;
    int writes = 0;
    TraceWriter writer;
};

TEST(Trace, ShortManualDownloadLineByLine) {
    Traced traced;
    const Lines lines = traced.run(9600, device_manual, {});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "    0.000 START COM1 (sim) 9600,M,8,1 Manual \"" +
                            traced.t.world.m.hex_file_name + "\" 2 records 4 data bytes");
    const Lines rest(lines.begin() + 1, lines.end());
    EXPECT_EQ(rest, (Lines{
                        "    0.000 BOX   \"Prepare device for download at 9600\\r\" [OK Cancel]",
                        "    0.000 BOX   OK",
                        // The timer stands enabled with no interval until the first start.
                        "    0.000 TIMER armed 500 ms",
                        "    0.000 TIMER armed 500 ms",
                        "    0.000 STATE cs_flash_erase",
                        // What came before the erase request is no answer to it.
                        "    0.000 RX    discarded",
                        "    0.000 TX    3A 30 31 30 30 30 30 30 30 46 46 30 30 0D 0A  "
                        "\":01000000FF00..\"",
                        "    5.000 RX    13  \".\"",
                        "    5.000 TIMER stopped",
                        "    5.000 STATE cs_program_ready",
                        "   55.000 RX    11  \".\"",
                        "   55.000 STATE cs_programming",
                        "   55.000 TIMER armed 500 ms",
                        "   55.000 STATE cs_record_download",
                        "   55.000 TX    3A 30 34 30 30 30 30 30 30 30 31 30 32 30 33 30 34 46 "
                        "32 0D 0A  \":0400000001020304F2..\"",
                        "   56.000 RX    13  \".\"",
                        "   56.000 TIMER stopped",
                        "   56.000 STATE cs_after_xoff",
                        "   57.000 RX    11  \".\"",
                        "   57.000 TIMER armed 500 ms",
                        "   57.000 STATE cs_record_download",
                        "   57.000 TX    3A 30 30 30 30 30 30 30 31 46 46 0D 0A  \":00000001FF..\"",
                        "   57.000 STATE cs_file_done",
                        "   57.000 BOX   \"Download complete\" [OK]",
                        "   57.000 BOX   OK",
                        // The device's answer to the last record, and the record's
                        // timer, come after the end and change nothing.
                        "   58.000 RX    13  \".\"",
                        "   59.000 RX    11  \".\"",
                        "  557.000 TIMER expired",
                        "  557.000 TIMER stopped",
                    }));
}

TEST(TraceWriter, OneLinePerEventInEachForm) {
    const uint8_t record[] = {':', '1', '0', '0', '0', '1', '0', '0', '0', '2', '1',  '4',
                              '6', '0', '1', '3', '6', '0', '0', '0', '0', 'E', '\r', '\n'};
    const uint8_t frame[] = {0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00};
    const uint8_t answers[] = {0x13, 0x11, 0x04, 0x05, 0x3F};
    const uint8_t longBatch[] = {0x13, 0x11, 0x13, 0x11, 0x13, 0x11, 0x13, 0x11, 0x00, 0x7E};
    const struct {
        TraceEvent event;
        const char* full;
        const char* brief; // the same as full when null
    } cases[] = {
        {{.kind = TraceKind::Written, .atUs = 12'345, .bytes = record},
         "   12.345 TX    3A 31 30 30 30 31 30 30 30 32 31 34 36 30 31 33 36 30 30 30 30 45 0D 0A"
         "  \":10001000214601360000E..\"",
         "   12.345 TX    :10001000.. (24 bytes)"},
        {{.kind = TraceKind::Written, .atUs = 1'000, .bytes = frame},
         "    1.000 TX    02 03 0F 00 21 CD 00  \"....!..\"",
         nullptr},
        {{.kind = TraceKind::Received, .atUs = 999, .bytes = answers},
         "    0.999 RX    13 11 04 05 3F  \"....?\"",
         "    0.999 RX    XOFF XON ACK NAK 3F"},
        {{.kind = TraceKind::Received, .atUs = 2'000, .bytes = longBatch},
         "    2.000 RX    13 11 13 11 13 11 13 11 00 7E  \".........~\"",
         "    2.000 RX    XOFF XON XOFF XON XOFF XON XOFF XON .. (10 bytes)"},
        {{.kind = TraceKind::State, .atUs = 1'234'567'890, .value = cs_tracker_reboot},
         "1234567.890 STATE cs_tracker_reboot",
         nullptr},
        {{.kind = TraceKind::State, .value = 6}, "    0.000 STATE cs_unknown", nullptr},
        {{.kind = TraceKind::TimerArmed, .value = 10000},
         "    0.000 TIMER armed 10000 ms",
         nullptr},
        {{.kind = TraceKind::CommEvent, .value = comEventFrame}, "    0.000 EVENT 1004", nullptr},
        {{.kind = TraceKind::Settings, .text = "38400,E,8,1"},
         "    0.000 LINE  38400,E,8,1",
         nullptr},
        {{.kind = TraceKind::PortClosed}, "    0.000 CLOSE", nullptr},
        {{.kind = TraceKind::PortLost, .text = "Gone \"now\"\r\x01"},
         "    0.000 LOST  \"Gone \\\"now\\\"\\r\\x01\"",
         nullptr},
        {{.kind = TraceKind::BoxShown, .text = "Prepare\r", .value = 1},
         "    0.000 BOX   \"Prepare\\r\" [OK Cancel]",
         nullptr},
        {{.kind = TraceKind::BoxClosed, .value = 1}, "    0.000 BOX   Cancel", nullptr},
        {{.kind = TraceKind::WaitOk, .atUs = -1'500}, "   -1.500 WAIT  OK", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.full);
        EXPECT_EQ(TraceWriter::line(c.event, 0, TraceWriter::Form::Full), c.full);
        EXPECT_EQ(TraceWriter::line(c.event, 0, TraceWriter::Form::Short),
                  c.brief != nullptr ? c.brief : c.full);
    }
}

// The download never waits for the disk: the lines of the records go out
// together when the download ends, and all of it is out while the last box
// is open.
TEST(TraceWriter, WritesWhenTheDownloadEndsNotPerRecord) {
    std::string many;
    for (uint16_t a = 0; a < 100; ++a) {
        many += dataRecord(static_cast<uint16_t>(a * 4), {1, 2, 3, 4}) + "\r\n";
    }
    many += eof + "\r\n";
    Traced traced;
    std::string atLastBox;
    traced.t.world.boxes.onShow = [&](const ShownBox& box) {
        if (box.text == text::DownloadComplete) {
            atLastBox = traced.out;
        }
    };
    const Lines lines = traced.run(9600, device_manual, {}, many);
    EXPECT_LE(traced.writes, 6);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find(" TX ") != l.npos; }),
              102);
    EXPECT_NE(atLastBox.find("TX    3A 30 30 30 30 30 30 30 31 46 46 0D 0A"), std::string::npos);
}

// For a person watching: every line as it comes, in its own write.
TEST(TraceWriter, EachLineAtOnceWhenAskedTo) {
    Lines written;
    TraceWriter writer(
        [&](std::string_view text) {
            written.emplace_back(text);
            return true;
        },
        TraceWriter::Form::Short, {}, TraceWriter::Flush::EachLine);
    const uint8_t xoff[] = {0x13};
    writer.onTraceEvent({.kind = TraceKind::Received, .atUs = 1'000, .bytes = xoff});
    writer.onTraceEvent({.kind = TraceKind::State, .atUs = 1'500, .value = cs_program_ready});
    EXPECT_EQ(written, (Lines{"    0.000 RX    XOFF\n", "    0.500 STATE cs_program_ready\n"}));
}

TEST(TraceWriter, AFailedWriteIsSaidOnceAndTheDownloadGoesOn) {
    TracedWorld t;
    int failures = 0;
    int attempts = 0;
    TraceWriter writer(
        [&](std::string_view) {
            ++attempts;
            return false;
        },
        TraceWriter::Form::Full, [&] { ++failures; });
    t.session.addObserver(&writer);
    t.world.chooseFile(firmware);
    t.world.setUpPort(9600, device_manual);
    t.world.connect({});
    t.startAndRun();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(attempts, 1);
    EXPECT_TRUE(writer.failed());
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(t.world.recordsSent(), (Lines{rec, eof}));
    EXPECT_EQ(t.world.boxes.texts().back(), text::DownloadComplete);
}

} // namespace
} // namespace quill::sim
