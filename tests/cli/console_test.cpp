// SPDX-License-Identifier: MIT
// quill-cli's standard error: what shows, quiet (-q) and not, of the same
// run's calls; the messages kept for the result; trace lines around the
// status line of a terminal; the progress lines of a download on the
// simulated world, on a terminal and without one, with the summary after
// the end.

#include "cli/cliprogress.h"
#include "cli/console.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace quill::cli {
namespace {

// Standard error as a buffer in memory.
struct Captured {
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* file = open_memstream(&buf, &size);
    ~Captured() {
        std::fclose(file);
        std::free(buf);
    }
    std::string text() const { return std::fflush(file) == 0 ? std::string(buf, size) : "?"; }
};

using Script = std::function<void(Console&)>;

// A download: its phase, progress, then how it ends.
void phases(Console& c) {
    c.message("Prepare device for download at 9600 [y/N] y (--yes)");
    c.message("Erasing Flash ...");
    c.status(" 50%  1/2 records");
}

const Script complete = [](Console& c) {
    phases(c);
    c.message("Download complete");
    c.note("Sent 2 of 2 records");
};
const Script eraseTimeout = [](Console& c) {
    phases(c);
    c.setFailed(); // the end is told before its message
    c.message("No response on erase flash request.\rCheck setup then retry download.");
    c.showLastKept();
};
// The message came before the end was told: shown at the end, once.
const Script refusedBeforeEnd = [](Console& c) {
    c.message("Open file error\rfirmware.hex");
    c.setFailed();
    c.showLastKept();
    c.showLastKept();
};
const Script interrupted = [](Console& c) {
    phases(c);
    c.error("Download interrupted");
    c.setFailed();
    c.showLastKept();
};

// What shows, and every message kept for the result, shown or not (quiet),
// in order, without the status and the summary.
TEST(Console, QuietShowsOnlyErrors) {
    const std::vector<std::string> kept = {
        "Prepare device for download at 9600 [y/N] y (--yes)", "Erasing Flash ...",
        "No response on erase flash request.\nCheck setup then retry download."};
    const std::tuple<const Script&, bool, std::string> cases[] = {
        {complete, false,
         "Prepare device for download at 9600 [y/N] y (--yes)\nErasing Flash ...\n"
         " 50%  1/2 records\nDownload complete\nSent 2 of 2 records\n"},
        {complete, true, ""},
        {eraseTimeout, true,
         "No response on erase flash request.\nCheck setup then retry download.\n"},
        {refusedBeforeEnd, true, "Open file error\nfirmware.hex\n"},
        {refusedBeforeEnd, false, "Open file error\nfirmware.hex\n"},
        {interrupted, true, "Download interrupted\n"},
    };
    for (const auto& [script, quiet, shown] : cases) {
        Captured err;
        Console console(err.file, false, quiet);
        script(console);
        EXPECT_EQ(err.text(), shown) << "quiet " << quiet;
        EXPECT_TRUE(&script != &eraseTimeout || console.messages() == kept);
    }
}

// Trace lines go above the live line, which is drawn again below them.
TEST(Console, TraceAboveTheStatusLine) {
    Captured err;
    Console console(err.file, true);
    console.trace("0.000 START\n");
    console.status(" 10%");
    console.trace("1.000 TX    :10000000.. (45 bytes)\n");
    console.status(" 20%");
    EXPECT_EQ(err.text(), "0.000 START\n"
                          "\r 10%\033[K"
                          "\r\033[K1.000 TX    :10000000.. (45 bytes)\n 10%\033[K"
                          "\r 20%\033[K");
}

// The device's report as the trace's progress moves, shown at every event.
struct Reported final : WireTrace {
    Reported(sim::TracedWorld& t, CliProgress& progress) : t(t), progress(progress) {}
    void onTraceEvent(const TraceEvent&) override {
        device.progress = t.session.progress().snapshot();
        device.totals = t.session.progress().totals();
        progress.show(device);
    }
    sim::TracedWorld& t;
    CliProgress& progress;
    DeviceReport device;
};

// Eight 16-byte records and the end record; the device takes 250 ms a record.
std::string download(bool terminal) {
    Captured err;
    Console console(err.file, terminal);
    sim::TracedWorld t;
    CliProgress progress(console);
    Reported reported(t, progress);
    t.session.addObserver(&reported);
    progress.finish(reported.device); // nothing sent yet: no summary
    t.world.chooseFile(test::hexFile(8));
    t.world.setUpPort(9600, device_manual);
    t.world.connect({.recordAckMs = 100, .recordWriteMs = 150});
    t.startAndRun();
    progress.finish(reported.device);
    progress.finish(reported.device); // once only
    return err.text();
}

// Records go out 250 ms apart from 55 ms on; the rate counts from the
// device's ready signal. The end record carries no data: the line before the
// summary shows it all the same. No summary before anything was sent.
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
    for (const char* part :
         {"\r 12%  1/9 records  16/128 data bytes  0:00  ? bytes/s  ? left\033[K",
          "\033[K\nSent 9 of 9 records, 128 of 128 data bytes in 2.1 s (64 data bytes/s)"}) {
        EXPECT_NE(out.find(part), std::string::npos) << out;
    }
}

} // namespace
} // namespace quill::cli
