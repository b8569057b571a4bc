// SPDX-License-Identifier: MIT
// The wire trace: what it says of a whole download on the simulated world,
// line by line; the writer's lines, its buffering and its failures. That
// the engine under a trace talks exactly as without one, the trace of the
// Tracker's roads and the progress counts of a download are rows of the
// conversation table; the progress as shown is quill-cli's (tests/cli).

#include "hexfile/hexfiletexts.h"
#include "testtext.h"
#include "trace/tracewriter.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quill::sim {
namespace {

using test::Lines;

const std::string rec = ":0400000001020304F2";
const std::string eof = ":00000001FF";
const std::string firmware = rec + "\r\n" + eof + "\r\n";

// A traced Manual download at 9600, its short trace written into memory;
// every write fails when asked to.
struct Traced {
    explicit Traced(bool failing = false, TraceWriter::Flush flush = TraceWriter::Flush::AtEnds)
        : writer(
              [this, failing](std::string_view text) {
                  ++writes;
                  out += text;
                  return !failing;
              },
              TraceWriter::Form::Short, [this] { ++failures; }, flush) {
        t.session.addObserver(&writer);
    }
    Lines run(const std::string& file = firmware) {
        t.world.chooseFile(file);
        t.world.setUpPort(9600, device_manual);
        t.world.connect({});
        t.startAndRun();
        writer.flush();
        return test::splitLines(out);
    }
    TracedWorld t;
    std::string out;
    int writes = 0, failures = 0;
    TraceWriter writer;
};

// Each line in its own write, as for a person watching.
TEST(Trace, ManualDownloadLineByLine) {
    Traced traced(false, TraceWriter::Flush::EachLine);
    const Lines lines = traced.run();
    ASSERT_EQ(std::tuple(lines.size(), traced.writes), std::tuple(31u, 31));
    // The timer stands enabled with no interval until the first start; what
    // came before the erase request is no answer to it; the device's answer
    // to the last record, and the record's timer, come after the end and
    // change nothing. Of the lines between, the conversation table shows
    // the kinds; here they are counted.
    const std::string& file = traced.t.world.m.hex_file_name;
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 9),
              (Lines{"    0.000 START COM1 (sim) 9600,M,8,1 Manual \"" + file + "\"",
                     "    0.000 FILE  " + file +
                         ": 34 bytes, SHA-256 "
                         "6e665e77ddb78a1605e4a82e5c7ca354bb36fa7dffe195f16f8e0356f82d29a3, "
                         "2 records, 4 data bytes",
                     "    0.000 BOX   \"Prepare device for download at 9600\\r\" [OK Cancel]",
                     "    0.000 BOX   OK", "    0.000 TIMER armed 500 ms",
                     "    0.000 TIMER armed 500 ms", "    0.000 STATE cs_flash_erase",
                     "    0.000 RX    discarded", "    0.000 TX    :01000000FF00 (15 bytes)"}));
    EXPECT_EQ(Lines(lines.end() - 6, lines.end()),
              (Lines{"   57.000 BOX   \"Download complete\" [OK]", "   57.000 BOX   OK",
                     "   58.000 RX    XOFF", "   59.000 RX    XON", "  557.000 TIMER expired",
                     "  557.000 TIMER stopped"}));
}

TEST(TraceWriter, OneLinePerEventInEachForm) {
    const uint8_t record[] = {':', '1', '0', '0', '0', '1', '0', '0', '0', '2', '1',  '4',
                              '6', '0', '1', '3', '6', '0', '0', '0', '0', 'E', '\r', '\n'};
    const uint8_t answers[] = {0x13, 0x11, 0x04, 0x05, 0x3F};
    const uint8_t longBatch[] = {0x13, 0x11, 0x13, 0x11, 0x13, 0x11, 0x13, 0x11, 0x00, 0x7E};
    const struct {
        TraceEvent event;
        const char* full;
        const char* brief = nullptr; // the same as full when null
    } cases[] = {
        {{.kind = TraceKind::Written, .atUs = 12'345, .bytes = record},
         "   12.345 TX    3A 31 30 30 30 31 30 30 30 32 31 34 36 30 31 33 36 30 30 30 30 45 0D 0A"
         "  \":10001000214601360000E..\"",
         "   12.345 TX    :10001000.. (24 bytes)"},
        {{.kind = TraceKind::Received, .atUs = 999, .bytes = answers},
         "    0.999 RX    13 11 04 05 3F  \"....?\"",
         "    0.999 RX    XOFF XON ACK NAK 3F"},
        {{.kind = TraceKind::Received, .atUs = 2'000, .bytes = longBatch},
         "    2.000 RX    13 11 13 11 13 11 13 11 00 7E  \".........~\"",
         "    2.000 RX    XOFF XON XOFF XON XOFF XON XOFF XON .. (10 bytes)"},
        {{.kind = TraceKind::State, .atUs = 1'234'567'890, .value = cs_tracker_reboot},
         "1234567.890 STATE cs_tracker_reboot"},
        {{.kind = TraceKind::State, .value = 6}, "    0.000 STATE cs_unknown"},
        {{.kind = TraceKind::CommEvent, .value = comEventFrame}, "    0.000 EVENT 1004"},
        {{.kind = TraceKind::PortClosed}, "    0.000 CLOSE"},
        {{.kind = TraceKind::PortLost, .text = "Gone \"now\"\r\x01"},
         "    0.000 LOST  \"Gone \\\"now\\\"\\r\\x01\""},
        {{.kind = TraceKind::BoxClosed, .value = 1}, "    0.000 BOX   Cancel"},
        {{.kind = TraceKind::WaitOk, .atUs = -1'500}, "   -1.500 WAIT  OK"},
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
    Traced traced;
    std::string atLastBox;
    traced.t.world.boxes.onShow = [&](const ShownBox& box) {
        atLastBox = box.text == text::DownloadComplete ? traced.out : atLastBox;
    };
    const Lines lines = traced.run(many + eof + "\r\n");
    EXPECT_LE(traced.writes, 6);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](auto& l) { return test::contains(l, " TX "); }),
              102);
    EXPECT_TRUE(test::contains(atLastBox, "TX    :00000001FF (13 bytes)"));
}

TEST(TraceWriter, AFailedWriteIsSaidOnceAndTheDownloadGoesOn) {
    Traced traced(true);
    traced.run();
    EXPECT_EQ(std::tuple(traced.failures, traced.writes, traced.writer.failed()),
              std::tuple(1, 1, true));
    EXPECT_FALSE(traced.writer.flush());
    EXPECT_EQ(traced.t.world.recordsSent(), (Lines{rec, eof}));
    EXPECT_EQ(traced.t.world.boxes.texts().back(), text::DownloadComplete);
}

} // namespace
} // namespace quill::sim
