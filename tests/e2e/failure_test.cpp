// Downloads that fail, through real pseudo-terminals: each ends with its
// own exit code and the system's message, and the device hears only what
// it should.

#include "processes.h"

#include "cli/clitexts.h"
#include "cli/exitcodes.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"

#include <gtest/gtest.h>

namespace quill::e2e {
namespace {

using cli::ExitCode;
using cli::toInt;

const std::vector<std::string> fastRecords = {"--record-ack-ms", "0", "--record-write-ms", "0",
                                              "--erase-ms",      "5"};

struct DeviceFault {
    const char* name;
    std::vector<std::string> devsim;
    std::vector<std::string> cli;
    ExitCode code;
    std::vector<std::string> messages;
    int hostLines; // lines and frames the device received; -1: not checked
};

void PrintTo(const DeviceFault& f, std::ostream* os) {
    *os << f.name;
}

class Fault : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(Fault, EndsWithItsCodeAndMessage) {
    const DeviceFault& f = GetParam();
    Scratch s;
    std::vector<std::string> devsim = fastRecords;
    devsim.insert(devsim.end(), f.devsim.begin(), f.devsim.end());
    Devsim dev(s, devsim);
    std::vector<std::string> args = {"--port", dev.pty(), "--baud", "38400", "--yes"};
    args.insert(args.end(), f.cli.begin(), f.cli.end());
    args.push_back(QUILL_SAMPLE_HEX);
    const Result r = runCli(s, args);
    EXPECT_EQ(r.code, toInt(f.code)) << r.err;
    for (const std::string& message : f.messages) {
        EXPECT_TRUE(contains(r.err, lines(message))) << "missing: " << message << "\n" << r.err;
    }
    EXPECT_FALSE(contains(r.err, quill::text::DownloadComplete)) << r.err;
    dev.stop();
    if (f.hostLines >= 0) {
        EXPECT_EQ(dev.hostLines(), f.hostLines) << dev.log();
    }
    // The unplugged port is named in the message.
    if (f.code == ExitCode::PortError) {
        EXPECT_TRUE(contains(r.err, dev.pty())) << r.err;
    }
}

const std::string idleMessage = cli::text::IdlePrefix + std::string("1") + cli::text::IdleSuffix +
                                "\r" + quill::text::DownloadStopped;

INSTANTIATE_TEST_SUITE_P(
    E2e, Fault,
    ::testing::Values(DeviceFault{"EraseTimeout",
                                  {"--fault", "no-erase-xoff"},
                                  {},
                                  ExitCode::NoEraseAnswer,
                                  {quill::text::NoEraseResponse},
                                  1},
                      // No answer to the select frame: the erase request goes out all the
                      // same and is not answered either; the handshake is the cause.
                      DeviceFault{
                          "TrackerSilent",
                          {"--device", "tracker", "--fault", "silent"},
                          {"--device", "tracker"},
                          ExitCode::TrackerHandshake,
                          {quill::text::TrackerNoSelectAnswer, quill::text::NoEraseResponse},
                          -1},
                      // Nothing after the 6th record: quill-cli's own time limit stops it,
                      // and nothing more is sent.
                      DeviceFault{"SilentMidTransfer",
                                  {"--fault", "silent-after-records", "--silent-after", "5"},
                                  {"--idle-timeout", "1"},
                                  ExitCode::IdleTimeout,
                                  {idleMessage},
                                  7},
                      DeviceFault{"Unplugged",
                                  {"--unplug-after", "5"},
                                  {},
                                  ExitCode::PortError,
                                  {quill::text::DownloadStopped},
                                  -1}),
    [](const auto& info) { return std::string(info.param.name); });

// A NAK to the select frame is reported; after the (automatic) OK the
// handshake goes on, the Tracker reboots and the download completes.
TEST(E2e, TrackerSelectNakThenComplete) {
    Scratch s;
    std::vector<std::string> devsim = fastRecords;
    devsim.insert(devsim.end(), {"--device", "tracker", "--fault", "select-nak"});
    Devsim dev(s, devsim);
    const Result r =
        runCli(s, {"--port", dev.pty(), "--baud", "9600", "--device", "tracker", QUILL_SAMPLE_HEX});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.err, lines(quill::text::TrackerResponseError))) << r.err;
    EXPECT_TRUE(contains(r.err, cli::text::CompletedAfterTrackerError)) << r.err;
    EXPECT_TRUE(dev.image() == referenceImage(s, QUILL_SAMPLE_HEX));
}

// A record with a wrong checksum: refused before a byte is sent.
TEST(E2e, BadRecordSendsNothing) {
    Scratch s;
    Bytes hex = readFile(QUILL_SAMPLE_HEX);
    const std::string text(hex.begin(), hex.end());
    const size_t eol = text.find('\r', text.find("\n:10020000"));
    hex[eol - 1] = hex[eol - 1] == '0' ? '1' : '0'; // the checksum's last digit
    writeFile(s.path("bad.hex"), hex);
    Devsim dev(s, fastRecords);
    const Result r = runCli(s, {"--port", dev.pty(), "--baud", "9600", "--yes", s.path("bad.hex")});
    EXPECT_EQ(r.code, toInt(ExitCode::BadRecord)) << r.err;
    EXPECT_TRUE(contains(r.err, lines(quill::text::InvalidRecord))) << r.err;
    dev.stop();
    EXPECT_EQ(dev.hostLines(), 0) << dev.log();
}

TEST(E2e, MissingFile) {
    Scratch s;
    Devsim dev(s, fastRecords);
    const Result r =
        runCli(s, {"--port", dev.pty(), "--baud", "9600", "--yes", s.path("missing.hex")});
    EXPECT_EQ(r.code, toInt(ExitCode::FileError)) << r.err;
    EXPECT_TRUE(contains(r.err, quill::text::OpenFileError)) << r.err;
}

TEST(E2e, PortThatCannotBeOpened) {
    Scratch s;
    const std::string port = s.path("no-such-tty");
    const Result r = runCli(s, {"--port", port, "--baud", "9600", "--yes", QUILL_SAMPLE_HEX});
    EXPECT_EQ(r.code, toInt(ExitCode::PortError)) << r.err;
    EXPECT_TRUE(contains(r.err, quill::text::PortOpenFailed)) << r.err;
    EXPECT_TRUE(contains(r.err, port)) << r.err;
}

// Without a terminal and without --yes the Manual prompt cannot be
// answered: quill-cli refuses before it touches the port.
TEST(E2e, NoTerminalAndNoYesRefuses) {
    Scratch s;
    Devsim dev(s, fastRecords);
    const Result r = runCli(s, {"--port", dev.pty(), "--baud", "9600", QUILL_SAMPLE_HEX});
    EXPECT_EQ(r.code, toInt(ExitCode::Usage)) << r.err;
    EXPECT_TRUE(contains(r.err, cli::text::PromptNeedsTerminal)) << r.err;
    dev.stop();
    EXPECT_EQ(dev.hostLines(), 0);
}

TEST(E2e, UsageErrors) {
    Scratch s; // an empty store: no port, no baud rate
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no hex file given"},
        {{"a.hex", "b.hex"}, "give exactly one hex file"},
        {{"--baud", "1200", "a.hex"}, "--baud must be 9600 or 38400"},
        {{"--device", "pager", "a.hex"}, "--device must be manual or tracker"},
        {{"--idle-timeout", "0", "a.hex"}, "--idle-timeout needs"},
        {{"--verbose", "a.hex"}, "unknown option --verbose"},
        {{"a.hex", "--port"}, "--port needs a value"},
        {{"--yes", "a.hex"}, cli::text::NoPort},
        {{"--port", "COM7", "--yes", "a.hex"}, "COM7 is not one of COM1 to COM4"},
        {{"--port=COM1", "--yes", "a.hex"}, cli::text::NoBaud},
    };
    for (const auto& [args, message] : cases) {
        const Result r = runCli(s, args);
        EXPECT_EQ(r.code, toInt(ExitCode::Usage)) << r.err;
        EXPECT_TRUE(contains(r.err, message)) << message << " not in: " << r.err;
    }
}

TEST(E2e, HelpListsEveryExitCode) {
    Scratch s;
    const Result r = runCli(s, {"--help"});
    EXPECT_EQ(r.code, 0);
    for (const cli::ExitCodeInfo& info : cli::exitCodeTable) {
        EXPECT_TRUE(contains(r.out, std::to_string(toInt(info.code)) + "  " + info.meaning))
            << info.meaning;
    }
}

} // namespace
} // namespace quill::e2e
