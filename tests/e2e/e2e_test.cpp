// SPDX-License-Identifier: MIT
// quill-cli against quill-devsim through a real pseudo-terminal, both as
// child processes: each way a download can end, once, with its exit code
// and messages; after a complete download the device's image equals the
// file's data as objcopy reads it; signals end a run cleanly; the trace
// file, the short trace, the JSON result and -q at process level.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "events/eventtexts.h"
#include "harness.h"
#include "hexfile/hexfiletexts.h"
#include "run/runtexts.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"
#include "shared/outcome.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace quill::e2e {
namespace {

using enum ExitCode;

// The carriage returns that join the lines of the system's messages are
// line breaks when quill-cli prints them.
std::string printed(std::string text) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

// A single-port run of quill-cli: what it runs with, and how it must end.
struct Road {
    const char* name;
    ExitCode code;
    std::vector<std::string> messages;   // on standard error
    std::string devsim = {};             // quill-devsim's options
    std::optional<std::string> cli = {}; // besides the port and the file; none: 38400, --yes
    std::string file = {};               // in the scratch folder; none: app.hex
    int heard = -1;                      // lines and frames the device heard; -1: not checked
    const char* typed = nullptr;         // typed on the terminal quill-cli reads its answers from
    std::string settings = {}; // the window program's stored settings; "{port}": the device
    friend void PrintTo(const Road& r, std::ostream* os) { *os << r.name; }
};

Road road(const char* name, ExitCode code, std::vector<std::string> messages,
          std::string devsim = {}, std::optional<std::string> cli = {}, std::string file = {},
          int heard = -1, const char* typed = nullptr, std::string settings = {}) {
    return {name,  code,  std::move(messages), std::move(devsim), std::move(cli), std::move(file),
            heard, typed, std::move(settings)};
}

class Roads : public ::testing::TestWithParam<Road> {};

TEST_P(Roads, EndWithTheirCodeAndMessages) {
    const Road& r = GetParam();
    Scratch s;
    const std::string binary = firmware(s, 72 * 1024 + 40);
    writeFile(s.path("noend.hex"), ":020000040800F2\r\n:0400100012FF34FFA8\r\n");
    writeFile(s.path("joined.hex"), readFile(s.path("app.hex")) + test::hexFile(2));
    Devices dev(s, 1, r.devsim);
    std::string settings = r.settings;
    if (const size_t at = settings.find("{port}"); at != std::string::npos) {
        settings.replace(at, 6, dev.port());
        std::filesystem::create_directories(s.path("config/quill"));
        writeFile(s.path("config/quill/quill.ini"), settings);
    }
    writeFile(s.path("events.jsonl"), "not an event\n"); // made afresh, never appended to
    const std::string port = r.settings.empty() ? "--port " + dev.port() + " " : "";
    const std::string file = r.file.empty() ? "app.hex" : r.file;
    const Result res = runCli(s,
                              port + r.cli.value_or("--baud 38400 --yes") + " --events " +
                                  s.path("events.jsonl") + " " + s.path(file),
                              r.typed);

    EXPECT_EQ(res.code, toInt(r.code)) << res.err;
    // Every end is one device_ended, its outcome's code the exit status; a
    // unit refused before it began is no failed unit.
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), res.code);
    const auto ended = events.of("device_ended");
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(events.lines.back()[u"units_failed"].toInt(), r.code != Complete && r.heard != 0);
    const auto outcome = outcomeNamed(ended[0][u"outcome"].toString().toStdString());
    EXPECT_TRUE(outcome && exitCodeOf(*outcome) == r.code)
        << ended[0][u"outcome"].toString().toStdString();
    for (const std::string& message : r.messages) {
        EXPECT_TRUE(contains(res.err, printed(message))) << "missing: " << message << "\n"
                                                         << res.err;
    }
    EXPECT_EQ(contains(res.err, text::DownloadComplete), r.code == Complete) << res.err;
    if (!settings.empty()) {
        EXPECT_EQ(readFile(s.path("config/quill/quill.ini")), settings); // not written
    }
    if (r.code == Complete && (file == "app.hex" || file == "joined.hex")) {
        EXPECT_TRUE(contains(res.err, "100%  ")) << res.err; // the last progress line
        EXPECT_TRUE(dev.image() == binary) << "the device's image differs from the file's data";
        // The device heard every byte at the parity it expected.
        EXPECT_FALSE(contains(dev.log(), "parity ignored")) << dev.log();
    }
    dev.stop();
    if (r.heard >= 0) {
        EXPECT_EQ(dev.heard(), r.heard) << dev.log();
    }
}

const std::string prompt = text::PrepareDevice + std::string("9600") + cli::text::PromptChoices;

// One road for each exit code, and each way the command line, the terminal
// and the stored settings change one. Complete downloads at both rates and
// on both devices are in the network test and the rows below.
INSTANTIATE_TEST_SUITE_P(
    E2e, Roads,
    ::testing::Values(
        road("EraseTimeout", NoEraseAnswer, {text::NoEraseResponse}, "--fault no-erase-xoff", {},
             {}, 1),
        // No answer to the select frame: the erase request goes out all the
        // same and is not answered either; the handshake is the cause.
        road("TrackerSilent", TrackerHandshake,
             {text::TrackerNoSelectAnswer, text::NoEraseResponse},
             "--device tracker --fault silent", "--baud 38400 --device tracker"),
        // Nothing after the 6th record: quill-cli's own time limit stops it,
        // and nothing more is sent.
        road("SilentMidTransfer", IdleTimeout,
             {text::IdlePrefix + std::string("1") + text::IdleSuffix + "\r" +
              text::DownloadStopped},
             "--fault silent-after-records --silent-after 5", "--baud 38400 --yes --idle-timeout 1",
             {}, 7),
        road("Unplugged", PortError, {text::DownloadStopped}, "--unplug-after 5"),
        // Not whole firmware: refused before a byte is sent, or with the
        // option only the first file of two joined goes out.
        road("JoinedRefused", BadRecord,
             {text::RecordsAfterEnd,
              std::string(cli::text::RiskRefusedPrefix) + "--allow-records-after-end"},
             {}, {}, "joined.hex", 0),
        road("JoinedAccepted", Complete, {}, {}, "--baud 38400 --yes --allow-records-after-end",
             "joined.hex"),
        road("NoEndRecordRefused", BadRecord,
             {text::NoEndRecord,
              std::string(cli::text::RiskRefusedPrefix) + "--allow-no-end-record"},
             {}, {}, "noend.hex", 0),
        road("NoEndRecordAccepted", Complete,
             {std::string(cli::text::RiskAcceptedPrefix) + "--allow-no-end-record"}, {},
             "--baud 38400 --yes --allow-no-end-record", "noend.hex"),
        road("MissingFile", FileError, {text::OpenFileError}, {}, {}, "missing.hex", 0),
        // Quiet: a run refused before its device still says why.
        road("QuietMissingFile", FileError, {text::OpenFileError}, {}, "--baud 38400 --yes -q",
             "missing.hex", 0),
        road("QuietNoEndRecordRefused", BadRecord, {text::NoEndRecord}, {}, "--baud 38400 --yes -q",
             "noend.hex", 0),
        // The Manual prompt cannot be answered: refused before the port is touched.
        road("NoTerminalAndNoYes", Usage, {cli::text::PromptNeedsTerminal}, {}, "--baud 9600", {},
             0),
        road("PromptYes", Complete, {prompt}, {}, "--baud 9600", {}, -1, "y\n"),
        road("PromptNo", Cancelled, {prompt, text::NotStarted}, {}, "--baud 9600", {}, 0, "n\n"),
        // Port, baud rate and device as the window program stored them, the
        // port's device named under "PortNames".
        road("StoredSettings", Complete, {}, "--device tracker", "", {}, -1, nullptr,
             "[Port]\nCOM=2\nBAUD=38400\n[Option]\nDEVICE=1\n[PortNames]\nCOM2={port}\n")),
    [](const auto& info) { return std::string(info.param.name); });

// SIGINT and SIGTERM end a running quill-cli within a second, on one port
// or on several at once: "Download interrupted" once, exit 130 or 143,
// nothing more sent once the signal is handled, the port's line settings
// as they were before quill-cli opened it, the JSON result and the trace
// file written to the end.
struct Interruption {
    const char* name;
    int signal;
    int devices;
    std::string cli, devsim; // their options
    const char* said;        // on standard error before the signal, if not null
    const char* heard;       // `times` in the first device's log before the signal, if not null
    int times;
    int slack; // records that may still arrive: the one on its way
    friend void PrintTo(const Interruption& i, std::ostream* os) { *os << i.name; }
};

class Signals : public ::testing::TestWithParam<Interruption> {};

TEST_P(Signals, EndTheRunCleanly) {
    const Interruption& c = GetParam();
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(200));
    // A slow device: a record takes a fifth of a second, a Tracker's reboot five.
    Devices dev(s, c.devices, c.devsim + " --record-ack-ms 200 --reboot-ms 5000");
    // Held open: the line settings stay readable after quill-cli is gone.
    const int line = ::open(dev.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios before{};
    ASSERT_EQ(::tcgetattr(line, &before), 0);

    // The prompt is answered on a terminal where nothing is typed.
    Cli cli(s,
            dev.ports() + " --baud 9600 --json --log " + s.path("flash.log") + " --events " +
                s.path("events.jsonl") + c.cli + " " + s.path("app.hex"),
            "");
    ASSERT_TRUE(c.said == nullptr || cli.waitSaid(c.said));
    ASSERT_TRUE(c.heard == nullptr || dev.waitHeard(c.heard, c.times));
    std::vector<int> recordsBefore;
    for (int k = 1; k <= c.devices; ++k) {
        recordsBefore.push_back(count(dev.log(k), "host> :"));
    }
    QElapsedTimer clock;
    clock.start();
    cli.signal(c.signal);
    const Result res = cli.finish();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(res.code, 128 + c.signal);
    EXPECT_EQ(count(res.err, quill::text::Interrupted), 1) << res.err;
    EXPECT_EQ(count(res.err, text::DownloadStopped), 0) << res.err;
    const QJsonObject o = res.json();
    EXPECT_EQ(std::tuple(o[u"outcome"].toString(), o[u"exit_code"].toInt()),
              std::tuple(QStringLiteral("interrupted"), 128 + c.signal));
    // Each device's end and the run's are written before quill-cli exits.
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), 128 + c.signal);
    EXPECT_EQ(events.of("device_ended").size(), size_t(c.devices));
    for (const QJsonObject& ended : events.of("device_ended")) {
        EXPECT_EQ(ended[u"outcome"].toString(), QStringLiteral("interrupted"));
    }
    // No erase request or record after a prompt or a handshake.
    QThread::msleep(300);
    for (int k = 1; k <= c.devices; ++k) {
        EXPECT_LE(count(dev.log(k), "host> :"), recordsBefore[size_t(k - 1)] + c.slack) << k;
    }
    if (c.slack > 0 && c.devices == 1) { // the trace file ends with the port closed
        EXPECT_EQ(test::splitLines(readFile(s.path("flash.log"))).back().substr(10), "CLOSE");
    }
    termios after{};
    ASSERT_EQ(::tcgetattr(line, &after), 0);
    EXPECT_EQ(std::tie(after.c_cflag, after.c_iflag), std::tie(before.c_cflag, before.c_iflag));
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    ::close(line);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, Signals,
    ::testing::Values(
        Interruption{"SigintDuringRecords", SIGINT, 1, " --yes", "", nullptr, "host> :10", 3, 1},
        Interruption{"SigtermOnThreePorts", SIGTERM, 3, " --yes", "", nullptr, "host> :10", 3, 1},
        Interruption{"SigintAtThePrompt", SIGINT, 1, "", "", text::PrepareDevice, nullptr, 0, 0},
        // After the select frame and the program frame.
        Interruption{"SigtermWhileTheTrackerReboots", SIGTERM, 1, " --device tracker",
                     "--device tracker", nullptr, "host> ", 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// "PATH: N bytes, SHA-256 HEX", as the file's bytes are.
std::string firmwareLine(const std::string& path) {
    const QByteArray bytes = QByteArray::fromStdString(readFile(path));
    return path + ": " + std::to_string(bytes.size()) + " bytes, SHA-256 " +
           QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}

// The trace file of a Manual download: what quill-cli adds around the
// engine's trace (its header, the port's set-up before the start); the
// short trace of -v; the JSON result with the device the link names. With
// -q a download says nothing, a failed one its last message.
TEST(Results, TraceFileShortTraceAndJson) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(3));
    Devices dev(s, 1);
    Result res = runCli(s, "-p " + dev.port() + " -b 9600 -y -v --json --log " +
                               s.path("logs/flash.log") + " " + s.path("app.hex"));
    ASSERT_EQ(res.code, 0) << res.err;
    const Lines log = test::splitLines(readFile(s.path("logs/flash.log")));
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log[0].starts_with("# quill-cli ")) << log[0];
    Lines events;
    for (const std::string& line : Lines(log.begin() + 1, log.end())) {
        events.push_back(line.substr(std::min<size_t>(10, line.size())));
    }
    EXPECT_TRUE(test::inOrder(
        events, {"LINE  9600,M,8,1", "OPEN  " + dev.port(),
                 "START " + dev.port() + " 9600,M,8,1 Manual \"" + s.path("app.hex") + "\"",
                 "FILE  " + firmwareLine(s.path("app.hex")) + ", 4 records, 48 data bytes",
                 "STATE cs_file_done"}));
    EXPECT_TRUE(contains(res.err, "TX    :10000000.. (45 bytes)")) << res.err;
    const QJsonObject o = res.json();
    EXPECT_EQ(std::tuple(o[u"outcome"].toString(), o[u"port"].toString().toStdString(),
                         o[u"device_path"].toString().toStdString(), o[u"records_sent"].toInt()),
              std::tuple(QStringLiteral("complete"), dev.port(),
                         std::filesystem::canonical(dev.port()).string(), 4));
    res = runCli(s, "-p " + dev.port() + " -b 9600 -y -q " + s.path("app.hex"));
    EXPECT_EQ(std::tuple(res.code, res.err, res.out), std::tuple(0, "", ""));
    // --events -: standard output holds the events and nothing else.
    res = runCli(s, "-p " + dev.port() + " -b 9600 -y -q --events - " + s.path("app.hex"));
    EXPECT_EQ(std::tuple(res.code, res.err), std::tuple(0, ""));
    EXPECT_EQ(checkedEvents(res.out, 0).of("progress").size(), 1u) << res.out;

    Devices silent(s, 1, "--fault no-erase-xoff");
    res = runCli(s, "-p " + silent.port() + " -b 9600 -y -q " + s.path("app.hex"));
    EXPECT_EQ(std::tuple(res.code, res.err),
              std::tuple(toInt(NoEraseAnswer), printed(text::NoEraseResponse) + "\n"));
}

// A disk that fails under the file is a file error, never bad firmware:
// while it is checked (nothing sent), and while its records go out (the
// end record never does). The history says so.
TEST(Results, AFileThatCannotBeReadIsAFileError) {
    for (const auto& [pass, heardSome] : {std::pair{"1", false}, {"3", true}}) {
        Scratch s;
        writeFile(s.path("app.hex"), test::hexFile(200));
        Devices dev(s, 1);
        s.setVariable("LD_PRELOAD", QUILL_READ_FAULT);
        // Under the sanitizers their runtime is no longer the first library.
        const char* asan = std::getenv("ASAN_OPTIONS");
        s.setVariable("ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0");
        s.setVariable("QUILL_READ_FAULT_PATH", std::filesystem::canonical(s.path("app.hex")));
        s.setVariable("QUILL_READ_FAULT_AT", "2000");
        s.setVariable("QUILL_READ_FAULT_PASS", pass); // the check, the device's check, the sending
        const Result res =
            runCli(s, "-p " + dev.port() + " -b 38400 -y --json " + s.path("app.hex"));
        dev.stop();
        EXPECT_EQ(res.code, toInt(FileError)) << res.err;
        EXPECT_TRUE(contains(res.err, printed(text::ReadError))) << res.err;
        EXPECT_EQ(res.json()[u"outcome"].toString(), QStringLiteral("file_error"));
        EXPECT_EQ(dev.heard() > 0, heardSome);
        EXPECT_FALSE(contains(dev.log(), ":00000001FF")) << dev.log();
        EXPECT_EQ(historyRows(s).at(0)[u"outcome"].toString(), QStringLiteral("file_error"));
    }
}

// One device, one run: a second quill-cli that names the same device by
// another name (the terminal behind the link) finds it in use, and the
// device hears one download, whole.
TEST(Results, TheSameDeviceUnderTwoNamesIsOneDevice) {
    Scratch s;
    const std::string binary = firmware(s, 2 * 1024);
    Devices dev(s, 1, "--record-ack-ms 20");
    Cli first(s, "-p " + dev.port() + " -b 38400 -y " + s.path("app.hex"));
    ASSERT_TRUE(dev.waitHeard("host> :"));
    const std::string terminal = std::filesystem::read_symlink(dev.port()).string();
    const Result second = runCli(s, "-p " + terminal + " -b 38400 -y " + s.path("app.hex"));
    EXPECT_EQ(second.code, toInt(PortError)) << second.err;
    EXPECT_TRUE(contains(second.err, "the port is in use by another program")) << second.err;
    EXPECT_EQ(first.finish().code, 0);
    dev.stop();
    EXPECT_EQ(count(dev.log(), "host> :01000000FF00"), 1);
    EXPECT_TRUE(dev.image() == binary);
}

// The firmware checked is the firmware sent: a file replaced while the
// Manual prompt waits for its answer is refused, none of its bytes sent.
// --repeat ends on a file refused: every next round would be refused alike.
TEST(Results, OnlyTheFileCheckedIsSent) {
    Scratch s;
    firmware(s, 2 * 1024);
    Devices dev(s, 1);
    Cli cli(s, "-p " + dev.port() + " -b 9600 --json " + s.path("app.hex"), "");
    ASSERT_TRUE(cli.waitSaid(prompt));
    writeFile(s.path("app.hex"), test::hexFile(3));
    cli.type("y\n");
    const Result r = cli.finish();
    EXPECT_EQ(r.code, toInt(BadRecord)) << r.err;
    EXPECT_EQ(r.json()[u"outcome"].toString(), QStringLiteral("file_changed"));
    writeFile(s.path("bad.hex"), ":0400100012FF34FF00\r\n:00000001FF\r\n");
    for (const auto& [file, code] : {std::pair{"bad.hex", BadRecord}, {"missing.hex", FileError}}) {
        const Result again =
            runCli(s, "--repeat -b 9600 -p " + dev.port() + " " + s.path(file), nullptr, "\n\n\n");
        EXPECT_EQ(again.code, toInt(code)) << again.err;
        EXPECT_EQ(count(again.err, cli::text::NextDevice), 1) << again.err;
        EXPECT_TRUE(again.err.ends_with("\n0 units\n")) << again.err;
    }
    dev.stop();
    EXPECT_EQ(dev.heard(), 0) << dev.log();
}

// Refused before any device hears a byte, with a JSON result all the same
// and a short message: a trace file or folder that cannot be made, a bad
// command line, a bad file, one device given twice (a link and the
// terminal it names), an events target that cannot be used. And --help
// lists every exit code.
TEST(Results, RefusedBeforeAnyDeviceHearsAByte) {
    Scratch s;
    const Result help = runCli(s, "--help");
    EXPECT_EQ(help.code, 0);
    for (const ExitCodeInfo& info : exitCodeTable) {
        EXPECT_TRUE(contains(help.out, std::to_string(toInt(info.code)) + "  " + info.meaning))
            << info.meaning;
    }
    writeFile(s.path("app.hex"), test::hexFile(1));
    writeFile(s.path("bad.hex"), ":020000040800F2\r\n:0400100012FF34FF00\r\n:00000001FF\r\n");
    writeFile(s.path("file"), "");
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0);
    Devices dev(s, 2);
    const std::string terminal = std::filesystem::read_symlink(dev.port(2)).string();
    const std::string one = "-p " + dev.port(1), app = " " + s.path("app.hex");
    const std::string both = dev.ports() + " -b 38400 -y ";
    for (const auto& [args, code, message] : {
             std::tuple{one + " -b 9600 -y --log /dev/null/f.log" + app, Usage,
                        std::string(quill::text::LogNotCreated) + "/dev/null/f.log"},
             {one + " --baud 1200" + app, Usage, std::string("--baud must be 9600 or 38400")},
             {"--yes a.hex", Usage, std::string(quill::text::NoPort)},
             {"--port COM7 --yes a.hex", Usage, "COM7" + std::string(quill::text::NotComOneToFour)},
             {"--port=COM1 --yes a.hex", Usage, std::string(quill::text::NoBaud)},
             {both + "--log " + s.path("file/logs") + app, Usage,
              std::string(quill::text::LogNotCreated)},
             {both + s.path("bad.hex"), BadRecord, std::string(text::InvalidRecord)},
             {both + "--expect-sha256 " + std::string(64, 'a') + app, BadRecord,
              std::string(quill::text::NotExpectedFirmware)},
             {both + "-p " + terminal + app, Usage,
              dev.port(2) + " and " + terminal + quill::text::SameDeviceTwice},
             // The events' target: never a device, a folder or a FIFO nobody reads; a
             // topic a broker takes, echoed short when it is not.
             {both + "--events /dev/null" + app, Usage, events::text::NotFileOrFifo},
             {both + "--events " + s.path("fifo") + app, Usage, events::text::FifoWithoutReader},
             {both + "--events mqtt://b/" + std::string(70000, 't') + app, Usage,
              events::text::TopicTooLong},
         }) {
        const Result res = runCli(s, args + " --json");
        EXPECT_EQ(res.code, toInt(code)) << args.substr(0, 200) << "\n" << res.err;
        EXPECT_LT(res.err.size(), 500u) << res.err.substr(0, 500);
        EXPECT_EQ(count(res.err, printed(message)), 1) << message << " not once in " << res.err;
        EXPECT_EQ(res.json()[u"exit_code"].toInt(), toInt(code)) << res.out;
    }
    dev.stop();
    EXPECT_EQ(dev.heard(1) + dev.heard(2), 0);
}

} // namespace
} // namespace quill::e2e
