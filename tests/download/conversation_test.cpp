// SPDX-License-Identifier: MIT
// The download's conversation, one row per road: for each file, each device
// behaviour and each thing the user or the owner does meanwhile, the ends it
// tells, what goes over the wire and at which parity, the boxes and wait
// dialog reports shown. Every row runs twice, on the bare engine and on the
// engine under a trace, which must talk exactly alike; the traced run also
// checks the trace and the progress counts.

#include "download/downloadtexts.h"
#include "hexfile/fileselect.h"
#include "hexfile/hexfiletexts.h"
#include "shared/sharedtexts.h"
#include "testtext.h"
#include "trace/tracewriter.h"
#include "tracedworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace quill::sim {
namespace {

using devsim::Config;
using devsim::Fault;
using devsim::Kind;
using enum DownloadEnd;
using test::Lines;

const std::string recA = dataRecord(0x0100, {0x12, 0x34});
const std::string recB = dataRecord(0x0102, {0x56, 0x78, 0x9A});
const std::string recB2 = dataRecord(0x0102, {0x11, 0x22, 0x33}); // as long as recB
const std::string recC = dataRecord(0x0105, {0xBC});
const std::string allFF = dataRecord(0x0200, {0xFF, 0xFF, 0xFF, 0xFF});
const std::string eof = ":00000001FF";
const std::string erase = ":01000000FF00";
const std::string firmware = recA + "\r\n" + recB + "\r\n" + recC + "\r\n" + eof + "\r\n";
const Lines all = {erase, recA, recB, recC, eof};
const std::string comment = ";" + std::string(StdHexFile::bufferSize + 100, '-');
const std::string prompt = "Prepare device for download at 9600\r";
const std::string prompt38400 = "Prepare device for download at 38400\r";
const std::string complete = text::DownloadComplete;
const std::string lost = "The serial port COM1 (sim) was disconnected.\rDownload stopped.";
const BoxAnswer cancel{MsgResult::Cancel, 0};
const std::vector<uint8_t> selectFrame = {0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00};
const std::vector<uint8_t> programFrame = {0x02, 0x04, 0x0F, 0x00, 0x23, 0x38, 0x92, 0x00};

// One run of a row: the world, the engine that runs in it, and "Start
// Download" as its window presses it.
struct Play {
    SimWorld& w;
    Downloader& engine;
    std::function<void()> start;
    std::string path;                  // the file chosen
    const std::string* trace{nullptr}; // the short trace, in the traced run
};
using Act = std::function<void(Play&)>;

enum class When { Never, BeforeStart, AtPrompt, AtStart, AfterRecords };

// What a row sets or expects beyond the usual, by name.
struct Also {
    int16_t deviceType = -1; // -1: the device option of the device model's kind
    int32_t baud = 9600;
    bool portClosed = false;                      // before the start, which opens it
    std::vector<BoxAnswer> answers{};             // the boxes' answers in order; then OK at once
    Ms okAfter = 1000;                            // the user's OK on a report in the wait dialog
    std::function<std::string(SimWorld&)> path{}; // chosen instead of the file
    When when = When::Never;                      // when `act` runs
    size_t records = 1;      // AfterRecords: once that many have gone out after the erase request
    Lines reports{};         // in the wait dialog
    int frames = -1;         // Tracker frames written; -1: two for a Tracker, else none
    bool markAtErase = true; // a Tracker's handshake reached its parity switch
    Lines trace{};           // in the short trace, in this order
};

struct Row {
    const char* name;
    std::string file;
    Config device;
    std::vector<DownloadEnd> ends;
    std::optional<Lines> wire; // every line written but frames, without CR LF; none: not checked
    Lines boxes;
    Also also;
    Act act, check; // meanwhile; afterwards
    int16_t deviceType() const {
        return also.deviceType >= 0           ? also.deviceType
               : device.kind == Kind::Tracker ? device_tracker
                                              : device_manual;
    }
};

// A row by its name in the test listings, rather than by its bytes.
void PrintTo(const Row& r, std::ostream* out) {
    *out << r.name;
}

Row row(const char* name, std::string file, Config device, std::vector<DownloadEnd> ends,
        std::optional<Lines> wire, Lines boxes, Also also = {}, Act act = {}, Act check = {}) {
    return {
        name, std::move(file), device,          std::move(ends), std::move(wire), std::move(boxes),
        also, std::move(act),  std::move(check)};
}

// A download that completes: "Download complete", after the Manual prompt.
Row completes(const char* name, std::string file, Config device = {}, Lines wire = all,
              Also also = {}, Act act = {}, Act check = {}) {
    Row r = row(name, std::move(file), device, {Complete}, std::move(wire), {complete}, also,
                std::move(act), std::move(check));
    if (r.deviceType() == device_manual) {
        r.boxes.insert(r.boxes.begin(), also.baud == 9600 ? prompt : prompt38400);
    }
    return r;
}

// Refused before the device is touched: nothing written, one message.
Row refused(const char* name, std::string file, DownloadEnd end, std::string message,
            Also also = {}, Act check = {}) {
    return row(name, std::move(file), {}, {end}, Lines{}, {std::move(message)}, also, {}, check);
}

// "Invalid data error in hex record", "Download cancelled", and the line to blame.
std::string invalid(const std::string& line) {
    return std::string(text::InvalidRecord) + "\r" + line;
}

// A new file renamed over the old one: the open file stays the old one.
void replace(const std::string& path, const std::string& bytes) {
    test::writeFile(path + ".new", bytes);
    std::filesystem::rename(path + ".new", path);
}

void overwriteRecB(const std::string& path, size_t at) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    f << recB2;
}

// Changed after the check: the download stops with the message that says so.
Row changed(const char* name, When when, std::optional<Lines> wire,
            std::function<void(const std::string&)> change, std::string file = firmware) {
    return row(name, std::move(file), {}, {FileChanged}, std::move(wire),
               {prompt, text::FileChanged}, {.when = when}, [change](Play& r) { change(r.path); });
}

// A file chosen after the first record, by a drop or in the Open dialog
// (none: the dialog is cancelled); the file chosen afterwards, and whether open.
Row chosen(const char* name, bool drop, std::optional<std::string> file, Lines boxes,
           std::string nameAfter, bool openAfter) {
    const auto choose = [drop, file](Play& r) {
        r.w.dir.write("a.hex", ":00000001FF\r\n");
        const std::string path = (r.w.dir.path() / file.value_or("")).string();
        FakeFileDialog dialog;
        dialog.answer = file ? std::optional(path) : std::nullopt;
        drop ? Form_OLEDragDrop(r.engine.context(), {path})
             : mnuFileOpen_Click(r.engine.context(), dialog);
    };
    const auto check = [nameAfter, openAfter](Play& r) {
        EXPECT_EQ(r.w.m.hex_file_name, (r.w.dir.path() / nameAfter).string());
        EXPECT_EQ(r.w.m.hex_file_open, openAfter);
        EXPECT_FALSE(r.w.timer.enabled() || r.w.form.lblMsgVisible);
    };
    return row(name, firmware, {.recordWriteMs = 100}, {file ? Superseded : Complete},
               file ? Lines{erase, recA} : all, std::move(boxes), {.when = When::AfterRecords},
               choose, check);
}

const Act stop = [](Play& r) { r.engine.stopDownload(Interrupted); };
const Act pressStart = [](Play& r) { r.start(); };
const std::string noEnd = recA + "\r\n" + recB + "\r\n";
const std::string stamped = recA + "\r\n" + comment + "\r\n" + recB + "\r\n" + recC + "\r\n" + eof;
const Config tracks{.kind = Kind::Tracker};
const Config silentTracker{.kind = Kind::Tracker, .fault = Fault::Silent};
const Config slowRecords{.recordAckMs = 20, .recordWriteMs = 20};

// Columns: the name, the file, the device; the ends told, the lines written,
// the boxes shown; the rest by name; what is done meanwhile, and what is
// checked afterwards.
const Row rows[] = {
    // A Manual device, the port closed before the start, which opens it; the
    // bar counts the file's bytes.
    completes("complete", firmware, {.eraseMs = 1000}, all,
              {.baud = 38400, .portClosed = true, .when = When::AtStart},
              [](Play& r) { EXPECT_EQ(r.w.form.prbMaxValue, static_cast<float>(firmware.size())); }),
    // XOFF and XON in one batch: the first record goes out at once; the
    // state held for no call is not reported on its own.
    completes("erase answered in one burst", firmware, {.burst = true}, all,
              {.trace = {"    0.000 STATE cs_flash_erase", "   55.000 RX    XOFF XON",
                         "   55.000 STATE cs_programming", "   55.000 TX    :02010000.. (17 bytes)"}},
              {}, [](Play& r) { EXPECT_FALSE(r.trace && test::contains(*r.trace, "cs_program_ready")); }),
    // No time limit while the device erases; whatever follows an XOFF
    // releases the next record; line noise changes nothing.
    completes("slow erase", firmware, {.fault = Fault::SlowErase, .slowEraseMs = 8000}),
    completes("junk after XOFF, line noise", firmware, {.fault = Fault::JunkAfterXoff}, all,
              {.when = When::BeforeStart}, [](Play& r) { r.w.port.raiseEvent(20, comEventFrame); }),
    row("silent mid-transfer", firmware, {.fault = Fault::SilentAfterRecords, .silentAfter = 2}, {},
        Lines{erase, recA, recB, recC}, {prompt}),
    row("prompt cancelled, then started again", firmware, {}, {Cancelled}, Lines{}, {prompt38400},
        {.baud = 38400, .answers = {cancel}}, {},
        [](Play& r) {
            EXPECT_TRUE(r.w.m.hex_file_open);
            r.start();
            r.w.loop.runAll();
            EXPECT_EQ(r.w.boxes.texts().back(), complete);
        }),
    // The XOFF comes late, while the timeout box is read: no programming.
    // The window and the file stay as they were until the next start.
    row("no answer to the erase request", firmware, {.eraseAckMs = 700, .eraseMs = 10},
        {NoEraseAnswer}, Lines{erase}, {prompt, text::NoEraseResponse},
        {.answers = {{}, {MsgResult::Ok, 5000}}}, {},
        [](Play& r) {
            const ShownBox& box = r.w.boxes.shown()[1];
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
            EXPECT_EQ(box.shownAt, r.w.port.writes()[0].at + 500);
            EXPECT_TRUE(r.w.form.lblMsgVisible && r.w.form.prbVisible && r.w.m.hex_file_open);
            EXPECT_EQ(r.w.form.lblMsgCaption, text::ErasingFlash);
        }),
    // XOFF XON still unread when the erase request goes out are no answer to it.
    row("stale XOFF XON before the erase request", firmware, {.fault = Fault::StaleXoffXon},
        {NoEraseAnswer}, Lines{erase}, {prompt, text::NoEraseResponse}, {.when = When::AtPrompt},
        [](Play& r) { r.w.port.arrived(1, r.w.device->greeting()); }),
    // Bytes and events before the start change nothing; those after the end
    // are the receive table's.
    completes("nothing happens on bytes or events when no download runs", firmware, {}, all,
              {.when = When::BeforeStart},
              [](Play& r) {
                  r.w.port.deliver(10, {0x13, 0x11, 0x13, 0x00});
                  r.w.port.raiseEvent(20, comEventRxParity);
                  r.w.port.raiseEvent(30, comEvCTS);
                  r.w.loop.runAll();
              }),
    // Start pressed again: the old download's answers arrive while the prompt is open.
    row("start during a download begins again", firmware, slowRecords, {Superseded, Complete},
        Lines{erase, recA, recB, erase, recA, recB, recC, eof}, {prompt, prompt, complete},
        {.answers = {{}, {MsgResult::Ok, 100}}, .when = When::AfterRecords, .records = 2},
        pressStart),
    row("start during a download with a file that no longer opens", firmware, slowRecords,
        {Superseded, FileError}, Lines{erase, recA, recB}, {prompt, text::OpenFileError},
        {.when = When::AfterRecords, .records = 2}, [](Play& r) {
            std::filesystem::remove(r.path);
            r.start();
        }),
    // quill-cli's time limit or a signal: the download ends at once, quietly,
    // in whatever phase it is, and is told once.
    row("stopped by its owner while erasing", firmware, {.eraseAckMs = 100}, {Interrupted},
        Lines{erase}, {prompt}, {.when = When::AtStart}, [](Play& r) {
            stop(r);
            stop(r);
            EXPECT_FALSE(r.w.form.lblMsgVisible);
        }),
    row("stopped by its owner mid-transfer", firmware, {.recordAckMs = 20}, {Interrupted},
        Lines{erase, recA, recB}, {prompt}, {.when = When::AfterRecords, .records = 2}, stop),
    row("port lost mid-download", firmware, {}, {PortFailure}, Lines{erase, recA}, {prompt, lost},
        {.when = When::AfterRecords}, [](Play& r) { r.w.port.unplug(0); },
        [](Play& r) {
            EXPECT_EQ(r.w.m.cstate, cs_off);
            EXPECT_EQ(r.w.form.panelText[1], text::ComNotSet); // as any port left closed
        }),
    // The start cannot go on: nothing is written.
    refused("no file chosen", firmware, FileError, text::FileMustBeSelected,
            {.path = [](SimWorld&) { return std::string(); }}),
    refused("file missing", firmware, FileError, text::OpenFileError,
            {.path = [](SimWorld& w) { return (w.dir.path() / "missing.hex").string(); }}),
    row("port busy", firmware, {}, {PortFailure}, Lines{},
        {std::string(text::PortOpenFailed) + "\rCOM1 (sim) is used by another program."},
        {.portClosed = true, .when = When::BeforeStart}, [](Play& r) { r.w.port.busy.insert(1); }),

    // A Tracker: the frames at even parity, then mark from the reboot wait on.
    completes("tracker complete", firmware, tracks, all,
              {.trace = {"    0.000 STATE cs_tracker_select",
                         "    0.000 TX    02 03 0F 00 21 CD 00  \"....!..\"",
                         "    0.000 WAIT  shown", "    5.000 RX    ACK", "    5.000 WAIT  closed",
                         "    5.000 STATE cs_tracker_prog",
                         "    5.000 TX    02 04 0F 00 23 38 92 00  \"....#8..\"",
                         "   10.000 RX    ACK", "   10.000 LINE  9600,M,8,1",
                         "   10.000 STATE cs_tracker_reboot", "   10.000 TIMER armed 10000 ms",
                         "  210.000 RX    XON", "  210.000 STATE cs_flash_erase",
                         "  210.000 TX    :01000000FF00 (15 bytes)",
                         "  265.000 TX    :02010000.. (17 bytes)",
                         "  271.000 TX    :00000001FF (13 bytes)",
                         "  271.000 BOX   \"Download complete\" [OK]"}},
              {}, [](Play& r) { EXPECT_EQ(r.w.waitDialog.shows(), 3); }),
    // A wrong answer is reported; after OK the handshake goes on.
    completes("select NAK", firmware, {.kind = Kind::Tracker, .fault = Fault::SelectNak}, all,
              {.reports = {text::TrackerResponseError}}),
    completes("rebooted device says NAK", firmware, {.kind = Kind::Tracker, .fault = Fault::RebootNak},
              all, {.reports = {text::TrackerNakReboot}}),
    row("program answered 3F, then no reboot", firmware,
        {.kind = Kind::Tracker, .fault = Fault::ProgUnknown}, {TrackerHandshake}, Lines{erase},
        {text::NoEraseResponse},
        {.reports = {text::TrackerResponseUnknown, text::TrackerNoRebootAnswer},
         .trace = {"   10.000 RX    3F", "   10.000 TIMER stopped",
                   "   10.000 WAIT  \"Tracker response unknown. \\rCheck setup and try again\"",
                   "   10.000 STATE cs_off", " 1010.000 WAIT  OK", " 1010.000 WAIT  closed",
                   " 1010.000 LINE  9600,M,8,1", " 1010.000 STATE cs_tracker_reboot"}}),
    // The reboot wait starts at the parity switch, right after the program
    // frame's ACK, and runs 10 s; OK is pressed a second after the report.
    completes("rebooted device silent, 38400", firmware,
              {.kind = Kind::Tracker, .fault = Fault::RebootSilent}, all,
              {.baud = 38400,
               .reports = {text::TrackerNoRebootAnswer},
               .trace = {"   10.000 TIMER armed 10000 ms", "10010.000 TIMER expired",
                         "10010.000 WAIT  \"Tracker did not respond after reboot.\\r Try again.\"",
                         "10010.000 STATE cs_off", "11010.000 TX    :01000000FF00 (15 bytes)"}}),
    // No Tracker: reported 500 ms after the frame, OK pressed 2 s later; the
    // erase request goes out all the same, at even parity, unheard.
    row("tracker silent", firmware, silentTracker, {TrackerHandshake}, Lines{erase},
        {text::NoEraseResponse},
        {.okAfter = 2000,
         .reports = {text::TrackerNoSelectAnswer},
         .frames = 1,
         .markAtErase = false,
         .trace = {"  500.000 TIMER expired", " 2500.000 TX    :01000000FF00 (15 bytes)"}}),
    // An ACK still unread when the select frame goes out is no answer to it.
    row("stale ACK before the select frame", firmware, silentTracker, {TrackerHandshake},
        Lines{erase}, {text::NoEraseResponse},
        {.when = When::BeforeStart,
         .reports = {text::TrackerNoSelectAnswer},
         .frames = 1,
         .markAtErase = false},
        [](Play& r) { r.w.port.arrived(1, {0x04}); }),
    // The program wait's dialog is freshly loaded and so takes input: OK
    // there ends the handshake before the parity switch.
    row("OK during the program wait", firmware, {.kind = Kind::Tracker, .frameAckMs = 300},
        {NoEraseAnswer}, Lines{erase}, {text::NoEraseResponse},
        {.when = When::BeforeStart, .markAtErase = false},
        [](Play& r) { r.w.waitDialog.pressOkAt(400); }),
    // While it waits, the dialog takes no input.
    completes("OK pressed on a waiting dialog", firmware, {.kind = Kind::Tracker, .rebootMs = 2000},
              all, {.when = When::BeforeStart},
              [](Play& r) {
                  r.w.waitDialog.pressOkAt(2);   // the select wait
                  r.w.waitDialog.pressOkAt(600); // the reboot wait
              }),
    row("port lost during the reboot wait", firmware, {.kind = Kind::Tracker, .rebootMs = 5000},
        {PortFailure}, Lines{}, {lost}, {.when = When::BeforeStart},
        [](Play& r) { r.w.port.unplug(1000); }),
    // A second Tracker download without the port set up again sends its
    // select frame at mark parity.
    completes("tracker twice", firmware, tracks, all, {}, {},
              [](Play& r) {
                  const size_t first = r.w.port.writes().size();
                  r.w.chooseFile(firmware);
                  r.w.connect(tracks);
                  r.start();
                  r.w.loop.runAll();
                  EXPECT_EQ(r.w.port.writes().at(first).bytes, selectFrame);
                  EXPECT_EQ(r.w.port.writes().at(first).settings, "9600,M,8,1");
              }),
    completes("device option 2: no prompt, no handshake", firmware, {}, all, {.deviceType = 2}),

    // What goes out of the file, record by record.
    // Records after the end record (two files joined) are asked about, and
    // never sent, not even a bad checksum.
    row("the end record first, the rest accepted", eof + "\r\n" + recA + "\r\n", {}, {Complete},
        Lines{erase, eof}, {text::RecordsAfterEnd, prompt, complete}),
    row("after the end record never sent", recA + "\r\n" + eof + "\r\n:0400100012FF34FF00\r\n", {},
        {Complete}, Lines{erase, recA, eof}, {text::RecordsAfterEnd, prompt, complete}),
    refused("two files joined, refused", firmware + firmware, RecordsAfterEnd,
            text::RecordsAfterEnd, {.answers = {cancel}}),
    completes("notes after the end record", firmware + "; end\r\n\r\n"),
    // A byte-order mark before the first line is no part of it.
    completes("byte-order mark", "\xEF\xBB\xBF" + firmware),
    completes("all-FF and empty data records skipped",
              recA + "\r\n" + allFF + "\r\n" + allFF + "\r\n:0000000000\r\n" + recB + "\r\n" + eof,
              {}, {erase, recA, recB, eof}),
    completes("blank and comment lines skipped",
              "\r\n; built 2026\r\n" + recA + "\r\n\r\n  ; note\r\n" + eof, {}, {erase, recA, eof}),
    // Lower-case digits and what follows the checksum go out as they stand.
    completes("sent as it stands", "; built: 12:00\r\n:0201000012ab40  trailing: text\r\n" + eof,
              {}, {erase, ":0201000012ab40  trailing: text", eof}),
    completes("overlong comment line skipped", std::string(70'000, 'x') + "\r\n" + firmware),
    completes("NUL comment, lone CR and LF",
              std::string("\0\0;\r", 4) + recA + "\r" + recB + "\n" + recC + "\n\r\n" + eof),
    // The progress bar counts characters read: the line read first its
    // length + 1, a line read after a skipped one its length alone.
    completes("progress counts every character read",
              recA + "\r\n\r\n" + recB + "\r\n" + eof + "\r\n", {}, {erase, recA, recB, eof},
              {.when = When::AfterRecords, .records = 2},
              [](Play& r) {
                  EXPECT_EQ(r.w.m.file_pos, static_cast<int32_t>(recA.size() + 2 + recB.size()));
                  EXPECT_EQ(r.w.form.prbValue, static_cast<float>(r.w.m.file_pos));
                  EXPECT_EQ(r.w.m.file_len,
                            static_cast<int32_t>(recA.size() + recB.size() + eof.size() + 8));
              }),
    completes("one unterminated line passes the maximum by one", eof, {}, {erase, eof}, {}, {},
              [](Play& r) {
                  EXPECT_EQ(r.w.m.file_pos, static_cast<int32_t>(eof.size()) + 1);
                  EXPECT_EQ(r.w.m.file_len, static_cast<int32_t>(eof.size()));
              }),

    // Not whole firmware: refused before the device is touched.
    refused("empty file", "", NoRecords, text::NoRecords),
    // Notes, S-records, binary: no line is a record.
    refused("no record line",
            "Release notes\r\n\r\n  - indented\r\nS00F000068656C6C6F202020202000003C\r\n"
            "S1130000285F245F2212226A000424290008237C2A\r\n" +
                std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00\r\x00\n\xff\xfe", 15),
            NoRecords, text::NoRecords),
    refused("non-hex digit in a record", recA + "\r\n:0200000012G4A8\r\n" + eof, BadRecord,
            invalid("Line 2: a character that is not a hex digit")),
    refused("NUL in a record", recA + "\r\n" + std::string(":02000000\0\0\0\0FE\r\n", 17) + eof,
            BadRecord, invalid("Line 2: a character that is not a hex digit")),
    // A record after blanks would be skipped as a note: a hole in the flash.
    refused("indented record", recA + "\r\n \t" + recB + "\r\n" + eof, BadRecord,
            invalid("Line 2: the record does not start at the beginning of its line")),
    refused("bad checksum", recA + "\r\n:0400100012FF34FF00\r\n" + eof + "\r\n", BadRecord,
            invalid("Line 2: checksum 00 in the file, A8 computed"), {},
            [](Play& r) {
                EXPECT_EQ(r.w.m.cstate, cs_file_done);
                EXPECT_FALSE(r.w.m.hex_file_open || r.w.form.cmdStartEnabled || r.w.form.prbVisible);
                EXPECT_EQ(r.w.form.panelText[2], " ");
            }),
    refused("record cut short", recA + "\r\n:10010000AABB\r\n" + eof, BadRecord,
            invalid("Line 2: the record is cut short")),
    // A record the device would never see: a line break lost between two.
    refused("two records on one line", recA + recB + "\r\n" + recC + "\r\n" + eof, BadRecord,
            invalid("Line 1: a second record follows the checksum")),
    refused("lone colon", ":\r\n" + firmware, BadRecord, invalid("Line 1: the record is cut short")),
    refused("overlong record line", recA + "\r\n:" + std::string(70'000, '0') + "\r\n" + eof,
            BadRecord, invalid("Line 2: longer than any record can be")),
    refused("no end record, refused", noEnd, NoEndRecord, text::NoEndRecord, {.answers = {cancel}}),
    row("no end record, accepted", noEnd, {}, {Complete}, Lines{erase, recA, recB},
        {text::NoEndRecord, prompt, complete}, {}, {},
        [](Play& r) {
            EXPECT_EQ(r.w.boxes.shown()[0].buttons, MsgButtons::OkCancel);
            EXPECT_EQ(r.w.boxes.shown()[0].defaultButton, MsgResult::Cancel);
        }),

    // Changed after the check.
    changed("rewritten during the prompt", When::AtPrompt, Lines{erase},
            [](const std::string& p) { test::writeFile(p, recA + "\r\n" + eof + "\r\n"); }),
    changed("truncated during the prompt", When::AtPrompt, Lines{erase},
            [](const std::string& p) { std::filesystem::resize_file(p, 5); }),
    changed("replaced during the prompt, even by the same bytes", When::AtPrompt, Lines{erase},
            [](const std::string& p) { replace(p, firmware); }),
    // Seen when the reader next fills its buffer, here in the middle of the
    // comment after recA; in a file the reader holds whole, before the end record.
    changed("rewritten mid-download", When::AfterRecords, Lines{erase, recA},
            [](const std::string& p) { test::writeFile(p, recC + "\r\n" + eof + "\r\n"); }, stamped),
    changed("truncated mid-download", When::AfterRecords, Lines{erase, recA, recB, recC},
            [](const std::string& p) { std::filesystem::resize_file(p, 40); }),
    changed("replaced mid-download", When::AfterRecords, Lines{erase, recA},
            [](const std::string& p) { replace(p, recA + "\r\n" + eof + "\r\n"); }, stamped),
    // Same size, maybe the same time stamps: seen at the next record, or at the latest at the end.
    changed("same size rewritten mid-download", When::AfterRecords, std::nullopt,
            [](const std::string& p) { overwriteRecB(p, recA.size() + 2); }),
    // A change the stamp cannot show (a file system with coarse times),
    // beyond what the reader has buffered: the lines read differ from the
    // lines checked before the end record would go out.
    row("same size and same stamp", stamped, {}, {FileChanged}, Lines{erase, recA, recB2, recC},
        {prompt, text::FileChanged}, {.when = When::AfterRecords},
        [](Play& r) {
            overwriteRecB(r.path, recA.size() + 2 + comment.size() + 2);
            r.w.file.markChecked();
        }),

    // Another file chosen mid-download ends it first, at once, never with a
    // splice of the two; then the choice goes on as always.
    chosen("dialog", false, "a.hex", {prompt, text::StoppedForNewChoice}, "a.hex", false),
    chosen("drop", true, "a.hex", {prompt, text::StoppedForNewChoice}, "a.hex", true),
    chosen("drop, missing file", true, "missing.hex",
           {prompt, text::StoppedForNewChoice, text::OpenFileError}, "fw.hex", false),
    chosen("dialog cancelled", false, std::nullopt, {prompt, complete}, "fw.hex", false),
};

void runRow(const Row& row, Play& run) {
    SimWorld& w = run.w;
    const Also& also = row.also;
    w.setUpPort(also.baud, row.deviceType());
    w.port.setPortOpen(!also.portClosed);
    w.connect(row.device);
    w.waitDialog.okAfter = also.okAfter;
    run.path = also.path ? also.path(w) : w.chooseFile(row.file);
    w.m.hex_file_name = run.path;
    for (const BoxAnswer& answer : also.answers) {
        w.boxes.answerNext(answer);
    }
    const auto at = [&](When when) {
        if (also.when == when) {
            row.act(run);
        }
    };
    w.boxes.onShow = [&](const ShownBox& box) { box.text == prompt ? at(When::AtPrompt) : void(); };
    at(When::BeforeStart);
    run.start();
    at(When::AtStart);
    if (also.when == When::AfterRecords) {
        ASSERT_TRUE(w.loop.runUntil([&] { return w.recordsSent().size() == also.records; }));
    }
    at(When::AfterRecords);
    w.loop.runAll();
}

// What a row must come to, on the bare engine.
void expectOutcome(const Row& row, SimWorld& w) {
    EXPECT_EQ(w.told.ends, row.ends);
    EXPECT_EQ(w.m.download_running, row.ends.empty());
    EXPECT_EQ(w.boxes.texts(), row.boxes);
    EXPECT_EQ(w.waitDialog.reports(), row.also.reports);
    EXPECT_FALSE(w.waitDialog.loaded());
    // Every message in one write: a frame, the erase request or one record
    // line; frames at even parity, the rest at mark unless the handshake
    // ended before its parity switch.
    const bool tracker = row.deviceType() == device_tracker;
    const std::string baud = std::to_string(row.also.baud);
    const std::string atErase = baud + (tracker && !row.also.markAtErase ? ",E,8,1" : ",M,8,1");
    int frames = 0;
    Lines wire;
    for (const WireWrite& write : w.port.writes()) {
        const std::string bytes(write.bytes.begin(), write.bytes.end());
        if (bytes[0] == 0x02) {
            EXPECT_EQ(write.bytes, frames++ == 0 ? selectFrame : programFrame);
            EXPECT_EQ(write.settings, baud + ",E,8,1");
            continue;
        }
        EXPECT_TRUE(bytes.ends_with("\r\n") && test::count(bytes, "\r\n") == 1) << bytes;
        EXPECT_EQ(write.settings, atErase);
        wire.push_back(bytes.substr(0, bytes.size() - 2));
    }
    EXPECT_EQ(frames, row.also.frames >= 0 ? row.also.frames : tracker ? 2 : 0);
    if (row.wire) {
        EXPECT_EQ(wire, *row.wire);
    }
    // The device hears the end record only from a download that completes.
    const bool endSent = std::count(wire.begin(), wire.end(), eof) > 0;
    EXPECT_EQ(w.device->sawEndOfFile(), endSent);
    const bool completed = !row.ends.empty() && row.ends.back() == Complete;
    EXPECT_TRUE(!endSent || completed);
    if (!w.port.writes().empty()) {
        // XON and XOFF reach the program as data, byte by byte.
        EXPECT_EQ(std::tuple(w.port.handshaking, w.port.rThreshold, w.port.inputMode),
                  std::tuple(0, 1, 1));
    }
    if (completed) {
        EXPECT_EQ(w.m.cstate, cs_file_done);
        EXPECT_FALSE(w.m.hex_file_open || w.file.isOpen() || w.form.cmdStartEnabled);
        EXPECT_FALSE(w.form.lblMsgVisible || w.form.prbVisible);
        EXPECT_EQ(w.form.lblMsgCaption, text::ProgrammingFlash);
        EXPECT_EQ(w.form.panelText[2], " ");
        // The bar stood at its maximum while "Download complete" was shown.
        ASSERT_GE(w.form.prbHistory.size(), 2u);
        EXPECT_EQ(w.form.prbHistory.end()[-2], w.form.prbMaxValue);
        EXPECT_EQ(w.form.prbValue, 0);
    }
}

// What the engine did to its world, as one text: the bare engine and the
// traced one must give the same.
std::string fingerprint(SimWorld& w) {
    std::string text;
    for (const WireWrite& write : w.port.writes()) {
        text += std::to_string(write.at) + " " + write.settings + " " +
                std::string(write.bytes.begin(), write.bytes.end()) + "\n";
    }
    for (const int64_t value :
         {int64_t{w.waitDialog.shows()}, int64_t{w.m.cstate}, int64_t{w.port.portOpen()},
          int64_t{w.timer.enabled()}, int64_t{w.timer.interval()}, w.loop.now()}) {
        text += std::to_string(value) + " ";
    }
    return text + w.port.settings();
}

class Conversation : public ::testing::TestWithParam<Row> {};

TEST_P(Conversation, BareAndTraced) {
    const Row& row = GetParam();
    SimWorld bare;
    Play plain{bare, bare.engine, [&] { bare.start(); }, {}, nullptr};
    runRow(row, plain);
    expectOutcome(row, bare);
    if (row.check) {
        row.check(plain);
    }

    TracedWorld t;
    std::string trace;
    TraceWriter writer(
        [&](std::string_view text) {
            trace += text;
            return true;
        },
        TraceWriter::Form::Short);
    t.session.addObserver(&writer);
    Play traced{
        t.world, t.engine, [&] { t.session.noteStart(), t.engine.cmdStart_Click(); }, {}, &trace};
    runRow(row, traced);
    writer.flush();
    EXPECT_TRUE(test::inOrder(test::splitLines(trace), row.also.trace));
    // A download that completes counted, as it went, all that it was to send.
    const DownloadProgress& progress = t.session.progress();
    if (!row.ends.empty() && row.ends.back() == Complete) {
        EXPECT_EQ(progress.totals().records, static_cast<int64_t>(t.world.recordsSent().size()));
        EXPECT_EQ(progress.recordsSent(), progress.totals().records);
        EXPECT_EQ(progress.dataBytesSent(), progress.totals().dataBytes);
        EXPECT_TRUE(progress.ended());
    }
    expectOutcome(row, t.world);
    if (row.check) {
        row.check(traced);
    }
    EXPECT_EQ(fingerprint(t.world), fingerprint(bare));
}

INSTANTIATE_TEST_SUITE_P(Rows, Conversation, ::testing::ValuesIn(rows), [](const auto& info) {
    std::string name;
    for (const char c : std::string(info.param.name)) {
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
});

} // namespace
} // namespace quill::sim
