// SPDX-License-Identifier: MIT
// The wire trace and the progress counts: what the trace says of a whole
// download on the simulated world, line by line; the writer's lines, its
// buffering and its failures; the totals a file will give, and what the
// progress makes of the events of a download. That the engine under a trace
// talks exactly as without one, and the trace of the Tracker's roads, are
// rows of the conversation table.

#include "hexfile/hexfiletexts.h"
#include "testtext.h"
#include "trace/downloadprogress.h"
#include "trace/tracewriter.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <optional>
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
    explicit Traced(bool failing = false)
        : writer(
              [this, failing](std::string_view text) {
                  ++writes;
                  out += text;
                  return !failing;
              },
              TraceWriter::Form::Short, [this] { ++failures; }) {
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

TEST(Trace, ManualDownloadLineByLine) {
    Traced traced;
    const Lines lines = traced.run();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "    0.000 START COM1 (sim) 9600,M,8,1 Manual \"" +
                            traced.t.world.m.hex_file_name + "\" 2 records 4 data bytes");
    // The timer stands enabled with no interval until the first start; what
    // came before the erase request is no answer to it; the device's answer
    // to the last record, and the record's timer, come after the end and
    // change nothing.
    EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
              (Lines{"    0.000 BOX   \"Prepare device for download at 9600\\r\" [OK Cancel]",
                     "    0.000 BOX   OK",
                     "    0.000 TIMER armed 500 ms",
                     "    0.000 TIMER armed 500 ms",
                     "    0.000 STATE cs_flash_erase",
                     "    0.000 RX    discarded",
                     "    0.000 TX    :01000000FF00 (15 bytes)",
                     "    5.000 RX    XOFF",
                     "    5.000 TIMER stopped",
                     "    5.000 STATE cs_program_ready",
                     "   55.000 RX    XON",
                     "   55.000 STATE cs_programming",
                     "   55.000 TIMER armed 500 ms",
                     "   55.000 STATE cs_record_download",
                     "   55.000 TX    :04000000.. (21 bytes)",
                     "   56.000 RX    XOFF",
                     "   56.000 TIMER stopped",
                     "   56.000 STATE cs_after_xoff",
                     "   57.000 RX    XON",
                     "   57.000 TIMER armed 500 ms",
                     "   57.000 STATE cs_record_download",
                     "   57.000 TX    :00000001FF (13 bytes)",
                     "   57.000 STATE cs_file_done",
                     "   57.000 BOX   \"Download complete\" [OK]",
                     "   57.000 BOX   OK",
                     "   58.000 RX    XOFF",
                     "   59.000 RX    XON",
                     "  557.000 TIMER expired",
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
    Traced traced(true);
    traced.run();
    EXPECT_EQ(traced.failures, 1);
    EXPECT_EQ(traced.writes, 1);
    EXPECT_TRUE(traced.writer.failed());
    EXPECT_FALSE(traced.writer.flush());
    EXPECT_EQ(traced.t.world.recordsSent(), (Lines{rec, eof}));
    EXPECT_EQ(traced.t.world.boxes.texts().back(), text::DownloadComplete);
}

const std::string rec4 = ":0400000001020304F2";
const std::string rec16 = dataRecord(0x0010, std::vector<uint8_t>(16, 0x5A));

TEST(DownloadTotals, CountWhatTheDownloadWillSend) {
    const struct {
        const char* name;
        std::string file;
        DownloadTotals totals;
    } cases[] = {
        {"bad digits not sent", ":04000000010203G4F2\r\n" + rec4 + "\r\n" + eof, {2, 4}},
        {"lines that are not records", "\r\n; note\r\n " + rec4 + "\r\n" + rec4 + "\r\n", {1, 4}},
        {"no end record", rec4 + "\r\n" + rec16 + "\r\n", {2, 20}},
        {"a bad checksum ends the count", rec4 + "\r\n:0400000001020304F3\r\n" + rec16, {1, 4}},
        {"address record: no data bytes", ":020000040001F9\r\n" + rec4 + "\r\n" + eof, {3, 4}},
        {"empty file", "", {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        StdHexFile file;
        ASSERT_TRUE(file.open(dir.write("fw.hex", c.file)));
        EXPECT_EQ(countDownload(file, makeHexTable()), c.totals);
    }
}

// A script of trace events, times in ms.
struct Step {
    TraceKind kind;
    int64_t ms;
    std::string bytes = {};
    int32_t value = 0;
};

Step state(int64_t ms, int16_t value) {
    return {TraceKind::State, ms, {}, value};
}

Step sent(int64_t ms, const std::string& line) {
    return {TraceKind::Written, ms, line + "\r\n"};
}

Step heard(int64_t ms, std::string bytes) {
    return {TraceKind::Received, ms, std::move(bytes)};
}

// Erase at 0, the device ready at 50, two 16-byte records and the end record
// 10 ms apart, and a new start. Totals: 3 records, 32 data bytes.
const std::vector<Step> download = {
    {TraceKind::Start, 0},          state(0, cs_flash_erase),
    sent(0, ":01000000FF00"),       heard(5, "\x13"),
    state(5, cs_program_ready),     heard(50, "\x11"),
    state(50, cs_record_download),  sent(50, rec16),
    state(55, cs_after_xoff),       heard(60, "\x11"),
    state(60, cs_record_download),  sent(60, rec16),
    state(65, cs_after_xoff),       heard(70, "\x11"),
    state(70, cs_record_download),  sent(70, eof),
    state(70, cs_file_done),        heard(75, "\x13\x11"),
    {TraceKind::TimerExpired, 570}, {TraceKind::Start, 900},
};

TEST(DownloadProgress, FollowsTheEventsOfADownload) {
    const struct {
        const char* name;
        size_t steps; // the first steps of `download` that have happened
        int64_t records, data;
        int percent;
        double elapsed;
        std::optional<double> rate, left;
        bool ended = false;
    } cases[] = {
        {"erase request out", 3, 0, 0, 0, 0.0, {}, {}},
        {"erasing", 5, 0, 0, 0, 0.005, {}, {}},
        {"first record out", 8, 1, 16, 50, 0.050, {}, {}},
        {"second record out", 12, 2, 32, 100, 0.060, 3200.0, 0.0},
        {"end record out", 16, 3, 32, 100, 0.070, 32 / 0.020, 0.0},
        // The device's last answer and the record's timer come after the end.
        {"ended", 19, 3, 32, 100, 0.070, 32 / 0.020, 0.0, true},
        {"a new start counts from nothing", download.size(), 0, 0, 0, 0.0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadProgress progress;
        progress.setTotals({3, 32});
        for (size_t i = 0; i < c.steps; ++i) {
            const Step& s = download[i];
            const std::span bytes(reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size());
            progress.onTraceEvent(
                {.kind = s.kind, .atUs = s.ms * 1000, .bytes = bytes, .value = s.value});
        }
        EXPECT_EQ(std::tuple(progress.recordsSent(), progress.dataBytesSent(), progress.percent(),
                             progress.ended()),
                  std::tuple(c.records, c.data, c.percent, c.ended));
        EXPECT_DOUBLE_EQ(progress.elapsedSeconds(), c.elapsed);
        EXPECT_EQ(progress.rate().has_value(), c.rate.has_value());
        if (c.rate && progress.rate()) {
            EXPECT_DOUBLE_EQ(*progress.rate(), *c.rate);
        }
        EXPECT_EQ(progress.secondsLeft().has_value(), c.left.has_value());
        if (c.left && progress.secondsLeft()) {
            EXPECT_DOUBLE_EQ(*progress.secondsLeft(), *c.left);
        }
    }
}

} // namespace
} // namespace quill::sim
