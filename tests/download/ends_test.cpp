// SPDX-License-Identifier: MIT
// How every download ends, on the simulated world: for each device
// behaviour and each file, hostile ones included, the one end the download
// tells, what went over the wire and the messages shown. Whatever is not
// whole firmware is refused before the device is touched; a file that
// changes after the check never ends in "Download complete".

#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>

namespace quill::sim {
namespace {

using devsim::Config;
using devsim::Fault;
using devsim::Kind;
using enum DownloadEnd;
using Lines = std::vector<std::string>;

const std::string recA = dataRecord(0x0100, {0x12, 0x34});
const std::string recB = dataRecord(0x0102, {0x56, 0x78, 0x9A});
const std::string recB2 = dataRecord(0x0102, {0x11, 0x22, 0x33}); // as long as recB
const std::string recC = dataRecord(0x0105, {0xBC});
const std::string eof = ":00000001FF";
const std::string firmware = recA + "\r\n" + recB + "\r\n" + recC + "\r\n" + eof + "\r\n";
const Lines all = {recA, recB, recC, eof};
const std::string comment = ";" + std::string(StdHexFile::bufferSize + 100, '-');
const std::string prompt = "Prepare device for download at 9600\r";
const std::string lost = "The serial port COM1 (sim) was disconnected.\rDownload stopped.";

void rewrite(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A new file renamed over the old one: the open file stays the old one.
void replace(const std::string& path, const std::string& bytes) {
    rewrite(path + ".new", bytes);
    std::filesystem::rename(path + ".new", path);
}

enum class When { Never, BeforeStart, AtPrompt, AfterFirstRecord };

struct Case {
    const char* name;
    std::string file = firmware;
    Config device{};
    int16_t deviceType = device_manual;
    std::vector<MsgResult> answers{}; // the boxes' answers in order; then OK
    // Before Start: the path to choose instead of the file (a FIFO, a device).
    std::function<std::string(SimWorld&)> path{};
    When when = When::Never;
    std::function<void(SimWorld&, const std::string&)> act{};
    // What must come of it.
    DownloadEnd end = Complete;
    int erases = 1;
    std::optional<Lines> sent = all; // empty: a part of the file, never its end record
    Lines boxes = {prompt, text::DownloadComplete};
};

std::string fifo(SimWorld& w) {
    const std::string path = (w.dir.path() / "fifo").string();
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}

using Act = std::function<void(SimWorld&, const std::string&)>;

// Refused before the device is touched: nothing written, one message.
Case refused(const char* name, std::string file, DownloadEnd end, const char* message,
             std::vector<MsgResult> answers = {}) {
    return {.name = name,
            .file = std::move(file),
            .answers = std::move(answers),
            .end = end,
            .erases = 0,
            .sent = Lines{},
            .boxes = {message}};
}

// Not a regular file: refused at once, without waiting or reading.
Case notAFile(const char* name, std::function<std::string(SimWorld&)> path) {
    return {.name = name,
            .path = std::move(path),
            .end = FileError,
            .erases = 0,
            .sent = Lines{},
            .boxes = {text::OpenFileError}};
}

// Changed after the check: the download stops with the message that says so.
Case changed(const char* name, When when, Act act, std::optional<Lines> sent,
             std::string file = firmware) {
    return {.name = name,
            .file = std::move(file),
            .when = when,
            .act = std::move(act),
            .end = FileChanged,
            .sent = std::move(sent),
            .boxes = {prompt, text::FileChanged}};
}

void overwriteRecB(const std::string& path, size_t at) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    f << recB2;
}

const std::string noEnd = recA + "\r\n" + recB + "\r\n";
const std::string stamped = recA + "\r\n" + comment + "\r\n" + recB + "\r\n" + recC + "\r\n" + eof;

const Case cases[] = {
    // How the device behaves.
    {.name = "complete"},
    {.name = "prompt cancelled",
     .answers = {MsgResult::Cancel},
     .end = Cancelled,
     .erases = 0,
     .sent = Lines{},
     .boxes = {prompt}},
    {.name = "no answer to the erase request",
     .device = {.fault = Fault::NoEraseXoff},
     .end = NoEraseAnswer,
     .sent = Lines{},
     .boxes = {prompt, text::NoEraseResponse}},
    // XOFF XON still unread when the erase request goes out are no answer to it.
    {.name = "stale XOFF XON before the erase request",
     .device = {.fault = Fault::StaleXoffXon},
     .when = When::AtPrompt,
     .act = [](SimWorld& w, const std::string&) { w.port.arrived(1, w.device->greeting()); },
     .end = NoEraseAnswer,
     .sent = Lines{},
     .boxes = {prompt, text::NoEraseResponse}},
    // An ACK still unread when the select frame goes out is no answer to it.
    {.name = "stale ACK before the Tracker's select frame",
     .device = {.kind = Kind::Tracker, .fault = Fault::Silent},
     .deviceType = device_tracker,
     .when = When::BeforeStart,
     .act = [](SimWorld& w, const std::string&) { w.port.arrived(1, {ACK}); },
     .end = TrackerHandshake,
     .sent = Lines{},
     .boxes = {text::NoEraseResponse}},
    {.name = "tracker silent",
     .device = {.kind = Kind::Tracker, .fault = Fault::Silent},
     .deviceType = device_tracker,
     .end = TrackerHandshake,
     .sent = Lines{},
     .boxes = {text::NoEraseResponse}},
    {.name = "tracker complete",
     .device = {.kind = Kind::Tracker},
     .deviceType = device_tracker,
     .boxes = {text::DownloadComplete}},
    {.name = "port lost mid-download",
     .when = When::AfterFirstRecord,
     .act = [](SimWorld& w, const std::string&) { w.port.unplug(0); },
     .end = PortFailure,
     .sent = Lines{recA},
     .boxes = {prompt, lost}},
    // Files that are not whole firmware.
    refused("empty file", "", NoRecords, text::NoRecords),
    refused("text without records", "Release notes\r\n\r\n  :indented\r\n", NoRecords,
            text::NoRecords),
    refused("S-record file",
            "S00F000068656C6C6F202020202000003C\r\nS1130000285F245F2212226A000424290008237C2A\r\n",
            NoRecords, text::NoRecords),
    refused("binary",
            std::string("\x7f"
                        "ELF\x02\x01\x01\x00\x00\x00\r\x00\n\xff\xfe",
                        15),
            NoRecords, text::NoRecords),
    refused("non-hex digit in a record", recA + "\r\n:0200000012G4A8\r\n" + eof, BadRecord,
            text::InvalidRecord),
    refused("NUL in a record", recA + "\r\n" + std::string(":02000000\0\0\0\0FE\r\n", 17) + eof,
            BadRecord, text::InvalidRecord),
    refused("bad checksum", recA + "\r\n:0400100012FF34FF00\r\n" + eof, BadRecord,
            text::InvalidRecord),
    // A record the device would never see: a line break lost between two.
    refused("two records on one line", recA + recB + "\r\n" + recC + "\r\n" + eof, BadRecord,
            text::InvalidRecord),
    {.name = "colons in comments and after the checksum",
     .file = "; built: 12:00\r\n" + recA + " ; see: notes\r\n" + recB + "\r\n" + recC + "\r\n" +
             eof + "\r\n",
     .sent = Lines{recA + " ; see: notes", recB, recC, eof}},
    refused("lone colon", ":\r\n" + firmware, BadRecord, text::InvalidRecord),
    refused("overlong record line", recA + "\r\n:" + std::string(70'000, '0') + "\r\n" + eof,
            BadRecord, text::InvalidRecord),
    refused("no end record, refused", noEnd, NoEndRecord, text::NoEndRecord, {MsgResult::Cancel}),
    {.name = "no end record, accepted",
     .file = noEnd,
     .sent = Lines{recA, recB},
     .boxes = {text::NoEndRecord, prompt, text::DownloadComplete}},
    // Oddities that are still whole firmware.
    {.name = "overlong comment line skipped", .file = std::string(70'000, 'x') + "\r\n" + firmware},
    {.name = "NUL comment, lone CR and LF",
     .file = std::string("\0\0;\r", 4) + recA + "\r" + recB + "\n" + recC + "\n\r\n" + eof},
    notAFile("FIFO without a writer", fifo),
    notAFile("/dev/zero", [](SimWorld&) { return std::string("/dev/zero"); }),
    notAFile("directory", [](SimWorld& w) { return w.dir.path().string(); }),
    // Changed after the check.
    changed(
        "rewritten during the prompt", When::AtPrompt,
        [](SimWorld&, const std::string& p) { rewrite(p, recA + "\r\n" + eof + "\r\n"); }, Lines{}),
    changed(
        "truncated during the prompt", When::AtPrompt,
        [](SimWorld&, const std::string& p) { std::filesystem::resize_file(p, 5); }, Lines{}),
    changed(
        "replaced during the prompt, even by the same bytes", When::AtPrompt,
        [](SimWorld&, const std::string& p) { replace(p, firmware); }, Lines{}),
    // Seen when the reader next fills its buffer, here in the middle of the
    // comment after recA; in a file the reader holds whole, before the end record.
    changed(
        "rewritten mid-download", When::AfterFirstRecord,
        [](SimWorld&, const std::string& p) { rewrite(p, recC + "\r\n" + eof + "\r\n"); },
        Lines{recA}, stamped),
    changed(
        "truncated mid-download", When::AfterFirstRecord,
        [](SimWorld&, const std::string& p) { std::filesystem::resize_file(p, 40); },
        Lines{recA, recB, recC}),
    changed(
        "replaced mid-download", When::AfterFirstRecord,
        [](SimWorld&, const std::string& p) { replace(p, recA + "\r\n" + eof + "\r\n"); },
        Lines{recA}, stamped),
    // Same size, maybe the same time stamps: seen at the next record, or at the latest at the end.
    changed(
        "same size rewritten mid-download", When::AfterFirstRecord,
        [](SimWorld&, const std::string& p) { overwriteRecB(p, recA.size() + 2); }, std::nullopt),
    // A change the stamp cannot show (a file system with coarse times),
    // beyond what the reader has buffered: the lines read differ from the
    // lines checked before the end record would go out.
    changed(
        "same size and same stamp", When::AfterFirstRecord,
        [](SimWorld& w, const std::string& p) {
            overwriteRecB(p, recA.size() + 2 + comment.size() + 2);
            w.file.markChecked();
        },
        Lines{recA, recB2, recC}, stamped),
};

TEST(DownloadEnds, EachDownloadTellsOneEndAndSendsOnlyWhatWasChecked) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimWorld w;
        w.setUpPort(9600, c.deviceType);
        w.connect(c.device);
        w.waitDialog.okAfter = 0;
        const std::string path = c.path ? c.path(w) : w.chooseFile(c.file);
        w.m.hex_file_name = path;
        for (MsgResult answer : c.answers) {
            w.boxes.answerNext({answer, 0});
        }
        if (c.when == When::AtPrompt) {
            w.boxes.onShow = [&](const ShownBox& box) {
                if (box.text == prompt) {
                    c.act(w, path);
                }
            };
        }
        if (c.when == When::BeforeStart) {
            c.act(w, path);
        }
        w.start();
        if (c.when == When::AfterFirstRecord) {
            ASSERT_TRUE(w.loop.runUntil([&] { return w.recordsSent().size() == 1; }));
            c.act(w, path);
        }
        w.loop.runAll();

        EXPECT_EQ(w.told.ends, std::vector<DownloadEnd>{c.end});
        EXPECT_EQ(w.boxes.texts(), c.boxes);
        EXPECT_EQ(w.eraseRequestsSent(), c.erases);
        if (c.erases == 0) {
            EXPECT_TRUE(w.port.writes().empty()); // not even a Tracker frame
        }
        if (c.device.fault == Fault::Silent) {
            EXPECT_EQ(w.port.writes().size(), 2u); // the select frame and the erase request
        }
        const Lines sent = w.recordsSent();
        if (c.sent) {
            EXPECT_EQ(sent, *c.sent);
        } else {
            EXPECT_EQ(std::count(sent.begin(), sent.end(), eof), 0);
        }
        // The device hears the end record only from a download that completes.
        const bool endSent = std::count(sent.begin(), sent.end(), eof) > 0;
        EXPECT_EQ(w.device->sawEndOfFile(), endSent);
        EXPECT_TRUE(c.end == Complete || !endSent);
        EXPECT_EQ(w.m.download_running, false);
        for (const ShownBox& box : w.boxes.shown()) {
            if (box.text == text::NoEndRecord) {
                EXPECT_EQ(box.buttons, MsgButtons::OkCancel);
                EXPECT_EQ(box.defaultButton, MsgResult::Cancel);
            }
        }
    }
}

} // namespace
} // namespace quill::sim
