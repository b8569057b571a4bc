// SPDX-License-Identifier: MIT
// quill-cli's progress lines: what they say of a download on the simulated
// world, on a terminal and without one, with the summary after the end.

#include "cli/cliprogress.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace quill::sim {
namespace {

using cli::CliProgress;
using cli::Console;

// Standard error as a scratch file.
struct Captured {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
    std::string text() const {
        std::string out;
        std::rewind(file.get());
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, file.get())) > 0;) {
            out.append(buf, n);
        }
        return out;
    }
};

// Eight 16-byte records and the end record; the device takes 250 ms a record.
std::string firmware() {
    std::string out;
    for (uint16_t a = 0; a < 8; ++a) {
        out += dataRecord(static_cast<uint16_t>(a * 16), std::vector<uint8_t>(16, 0x42)) + "\r\n";
    }
    return out + ":00000001FF\r\n";
}

std::string download(bool terminal) {
    Captured err;
    Console console(err.file.get(), terminal);
    TracedWorld t;
    CliProgress progress(console);
    progress.attach(&t.session.progress());
    t.session.addObserver(&progress);
    t.world.chooseFile(firmware());
    t.world.setUpPort(9600, device_manual);
    t.world.connect({.recordAckMs = 100, .recordWriteMs = 150});
    t.startAndRun();
    progress.finish();
    progress.finish(); // once only
    return err.text();
}

// Records go out 250 ms apart from 55 ms on; the rate counts from the
// device's ready signal. The end record carries no data: the line before the
// summary shows it all the same.
TEST(CliProgress, QuartersInRecordsAndDataBytes) {
    EXPECT_EQ(download(false),
              " 25%  2/9 records  32/128 data bytes  0:00  128 bytes/s  0:01 left\n"
              " 50%  4/9 records  64/128 data bytes  0:01  85 bytes/s  0:01 left\n"
              " 75%  6/9 records  96/128 data bytes  0:01  77 bytes/s  0:00 left\n"
              "100%  8/9 records  128/128 data bytes  0:02  73 bytes/s  0:00 left\n"
              "100%  9/9 records  128/128 data bytes  0:02  64 bytes/s  0:00 left\n"
              "Sent 9 of 9 records, 128 of 128 data bytes in 2.1 s (64 data bytes/s)\n");
}

// On a terminal the line is redrawn in place for every record (each moves
// the percentage here) and the summary starts a line of its own.
TEST(CliProgress, LiveLineOnATerminal) {
    const std::string out = download(true);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 9);
    EXPECT_NE(out.find("\r 12%  1/9 records  16/128 data bytes  0:00  ? bytes/s  ? left\033[K"),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("\033[K\nSent 9 of 9 records, 128 of 128 data bytes in 2.1 s (64 data bytes/s)"),
        std::string::npos)
        << out;
}

TEST(CliProgress, NoSummaryWhenNothingWasSent) {
    Captured err;
    Console console(err.file.get(), false);
    DownloadProgress model;
    CliProgress progress(console);
    progress.attach(&model);
    progress.finish();
    EXPECT_EQ(err.text(), "");
}

} // namespace
} // namespace quill::sim
