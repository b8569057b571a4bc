// SPDX-License-Identifier: MIT
// Progress in records and data bytes: the totals a file will give, and what
// the model makes of the trace events of a download.

#include "shared/module1.h"
#include "trace/downloadprogress.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <optional>

namespace quill::sim {
namespace {

const std::string eof = ":00000001FF";
const std::string rec4 = ":0400000001020304F2";
const std::string rec16 = dataRecord(0x0010, std::vector<uint8_t>(16, 0x5A));
const std::string allFF = dataRecord(0x0020, {0xFF, 0xFF});

TEST(DownloadTotals, CountWhatTheDownloadWillSend) {
    const struct {
        const char* name;
        std::string file;
        DownloadTotals totals;
    } cases[] = {
        {"records and the end record", rec16 + "\r\n" + rec4 + "\r\n" + eof + "\r\n", {3, 20}},
        {"all-FF record not sent", allFF + "\r\n" + rec4 + "\r\n" + eof + "\r\n", {2, 4}},
        {"bad digits not sent", ":04000000010203G4F2\r\n" + rec4 + "\r\n" + eof, {2, 4}},
        {"lines that are not records", "\r\n; note\r\n " + rec4 + "\r\n" + rec4 + "\r\n", {1, 4}},
        {"nothing after the end record", rec4 + "\r\n" + eof + "\r\n" + rec16 + "\r\n", {2, 4}},
        {"no end record", rec4 + "\r\n" + rec16 + "\r\n", {2, 20}},
        {"a bad checksum ends the count", rec4 + "\r\n:0400000001020304F3\r\n" + rec16, {1, 4}},
        {"address record: no data bytes", ":020000040001F9\r\n" + rec4 + "\r\n" + eof, {3, 4}},
        {"lower-case digits", ":0400000001020304f2\n:00000001ff\n", {2, 4}},
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
// 10 ms apart. Totals: 3 records, 32 data bytes.
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
    {TraceKind::TimerExpired, 570},
};

TEST(DownloadProgress, FollowsTheEventsOfADownload) {
    const struct {
        const char* name;
        size_t steps; // the first steps of `download` that have happened
        int64_t records, data;
        int percent;
        double elapsed;
        std::optional<double> rate, left;
    } cases[] = {
        {"erase request out", 3, 0, 0, 0, 0.0, {}, {}},
        {"erasing", 5, 0, 0, 0, 0.005, {}, {}},
        {"first record out", 8, 1, 16, 50, 0.050, {}, {}},
        {"second record out", 12, 2, 32, 100, 0.060, 3200.0, 0.0},
        {"end record out", 16, 3, 32, 100, 0.070, 32 / 0.020, 0.0},
        // The device's last answer and the record's timer come after the end.
        {"ended", download.size(), 3, 32, 100, 0.070, 32 / 0.020, 0.0},
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
        EXPECT_EQ(progress.recordsSent(), c.records);
        EXPECT_EQ(progress.dataBytesSent(), c.data);
        EXPECT_EQ(progress.percent(), c.percent);
        EXPECT_DOUBLE_EQ(progress.elapsedSeconds(), c.elapsed);
        EXPECT_EQ(progress.rate().has_value(), c.rate.has_value());
        if (c.rate && progress.rate()) {
            EXPECT_DOUBLE_EQ(*progress.rate(), *c.rate);
        }
        EXPECT_EQ(progress.secondsLeft().has_value(), c.left.has_value());
        if (c.left && progress.secondsLeft()) {
            EXPECT_DOUBLE_EQ(*progress.secondsLeft(), *c.left);
        }
        EXPECT_EQ(progress.ended(), c.steps >= 17);
    }
}

TEST(DownloadProgress, ANewStartCountsFromNothing) {
    DownloadProgress progress;
    progress.setTotals({3, 32});
    for (const Step& s : download) {
        const std::span bytes(reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size());
        progress.onTraceEvent(
            {.kind = s.kind, .atUs = s.ms * 1000, .bytes = bytes, .value = s.value});
    }
    progress.onTraceEvent({.kind = TraceKind::Start, .atUs = 900'000});
    EXPECT_EQ(progress.recordsSent(), 0);
    EXPECT_EQ(progress.dataBytesSent(), 0);
    EXPECT_FALSE(progress.ended());
    EXPECT_FALSE(progress.rate());
    EXPECT_EQ(progress.elapsedSeconds(), 0.0);
}

} // namespace
} // namespace quill::sim
