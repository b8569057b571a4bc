// SPDX-License-Identifier: MIT
// quill-cli against quill-devsim through real pseudo-terminals, both as
// child processes: each run ends with its own exit code and the system's
// messages, the device hears only what it should, and after a complete
// download its image equals the file's data as objcopy reads it.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "run/exitcodes.h"
#include "run/runtexts.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "e2efiles.h"

namespace quill::e2e {
namespace {

using enum ExitCode;

// "{port}" in a message or settings text stands for the device's terminal;
// the carriage returns that join the lines of the system's messages are
// line breaks when quill-cli prints them.
std::string expand(std::string text, const std::string& port) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    if (const size_t at = text.find("{port}"); at != std::string::npos)
        text.replace(at, 6, port);
    return text;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A command line's words; "{port}" stands for the device's terminal.
QStringList words(const std::string& text, const std::string& port = {}) {
    return q(text)
        .split(u' ', Qt::SkipEmptyParts)
        .replaceInStrings(QStringLiteral("{port}"), q(port));
}

struct Scratch {
    QTemporaryDir dir;
    std::string path(const std::string& name) const { return dir.filePath(q(name)).toStdString(); }
};

struct Result {
    int code = -1; // -1: crashed or did not end in time
    std::string err, out;
};

// Runs a program to its end (bounded), standard input from `stdinPath` if
// given. quill-cli's settings are the scratch folder's, never the user's own.
Result run(const Scratch& s, const char* program, const QStringList& args,
           const std::string& stdinPath = {}) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(s.path("config")));
    p.setProcessEnvironment(env);
    if (!stdinPath.empty())
        p.setStandardInputFile(q(stdinPath));
    p.start(QString::fromUtf8(program), args);
    const bool ended = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit;
    const int code = ended ? p.exitCode() : -1;
    p.kill();
    p.waitForFinished(5000);
    return {code, p.readAllStandardError().toStdString(), p.readAllStandardOutput().toStdString()};
}

void objcopy(const Scratch& s, const std::string& options, const std::string& from,
             const std::string& to) {
    const Result r = run(s, QUILL_OBJCOPY, words(options) << q(from) << q(to));
    ASSERT_EQ(r.code, 0) << r.err;
}

// quill-devsim, answering at once, reached through a link to its terminal;
// its image and log are in the scratch folder.
class Devsim {
  public:
    Devsim(const Scratch& s, const std::string& options)
        : m_image(s.path("image.bin")), m_log(s.path("devsim.log")), m_link(s.path("tty")) {
        m_process.setWorkingDirectory(s.dir.path());
        m_process.start(QStringLiteral(QUILL_DEVSIM),
                        words(options + " --record-ack-ms 0 --record-write-ms 0 --erase-ms 5"
                                        " --reboot-ms 20 --frame-ack-ms 1 --image image.bin"
                                        " --log devsim.log --link tty"));
        // The first line on its standard output, the terminal, says it is ready.
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        const std::string pty = m_process.readLine().trimmed().toStdString();
        std::error_code ec;
        EXPECT_EQ(std::filesystem::read_symlink(m_link, ec).string(), pty) << ec.message();
    }
    ~Devsim() { stop(); }
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;

    const std::string& pty() const { return m_link; }
    // Stops it; it writes its image and removes the link as it exits.
    void stop() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        EXPECT_FALSE(std::filesystem::is_symlink(m_link));
    }
    std::string image() {
        stop();
        return readFile(m_image);
    }
    std::string log() const { return readFile(m_log); }
    // The lines and frames the device received.
    int hostLines() const {
        const std::string text = log();
        int n = 0;
        for (size_t at = 0; (at = text.find(" host> ", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

  private:
    QProcess m_process;
    std::string m_image, m_log, m_link;
};

// A deterministic pseudo-random binary of over 64 KiB.
std::string binary() {
    std::mt19937 random(0x9E3779B9u);
    std::string bytes(72 * 1024 + 40, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() >> 24); });
    return bytes;
}

// The binary as objcopy writes it as a hex file at 0x08000000, so with
// extended linear address records (04) and a start address (05): as it
// stands (app.hex, CR LF), with LF line ends (lf.hex), with a bad checksum
// (bad.hex), with a non-hex digit in a record (nonhex.hex), cut short before
// its end record (noend.hex); and what is not firmware: a text without
// records (norecords.hex) and a FIFO that nobody writes (fifo).
void makeHexFiles(const Scratch& s) {
    writeFile(s.path("app.bin"), binary());
    objcopy(s, "-I binary -O ihex --change-addresses 0x08000000 --set-start 0x8", s.path("app.bin"),
            s.path("app.hex"));
    std::string text = readFile(s.path("app.hex"));
    ASSERT_TRUE(contains(text, "\r\n:020000040801") && contains(text, ":04000005"));
    std::string lf = text;
    std::erase(lf, '\r');
    writeFile(s.path("lf.hex"), lf);
    const size_t eol = text.find('\r', text.find("\n:10020000"));
    std::string nonhex = text;
    nonhex[text.find("\n:10020000") + 12] = 'G'; // a data digit
    writeFile(s.path("nonhex.hex"), nonhex);
    writeFile(s.path("noend.hex"), text.substr(0, text.find(":00000001FF")));
    text[eol - 1] = text[eol - 1] == '0' ? '1' : '0'; // the checksum's last digit
    writeFile(s.path("bad.hex"), text);
    writeFile(s.path("norecords.hex"), "This is not a hex file.\r\nS00F000068656C6C6F\r\n");
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0);
}

// A file of the scratch folder, or a path of the system.
std::string filePath(const Scratch& s, const std::string& file) {
    return file.starts_with('/') ? file : s.path(file);
}

// A run of quill-cli on a file in the scratch folder: how it must end, and what it runs with.
struct Case {
    std::string name;
    ExitCode code;
    std::vector<std::string> messages; // on standard error
    std::string devsim;                // quill-devsim's options
    std::string cli = "--port {port} --baud 38400 --yes";
    int hostLines = -1; // lines and frames the device heard; -1: not checked
    std::string file = "app.hex";
    std::string settings{};      // the window program's stored settings
    const char* typed = nullptr; // the answer typed on a terminal at the prompt
};

Case download(const std::string& device, const std::string& baud, const std::string& file) {
    return Case(device + baud + (file == "lf.hex" ? "Lf" : "CrLf"), Complete, {},
                "--device " + device,
                "--port {port} --baud " + baud + " --device " + device + " --yes", -1, file);
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Cli : public ::testing::TestWithParam<Case> {};

TEST_P(Cli, EndsWithItsCodeAndMessages) {
    const Case& c = GetParam();
    Scratch s;
    makeHexFiles(s);
    Devsim dev(s, c.devsim);
    const std::string ini = s.path("config/quill/quill.ini");
    const std::string settings = expand(c.settings, dev.pty());
    if (!settings.empty()) {
        std::filesystem::create_directories(s.path("config/quill"));
        writeFile(ini, settings);
    }
    std::string terminal;
    int master = -1;
    int slave = -1;
    if (c.typed != nullptr) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
        terminal = ::ptsname(master);
        slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY); // keeps what is typed until read
        ASSERT_EQ(::write(master, c.typed, 2), 2);
    }
    const Result r = run(s, QUILL_CLI, words(c.cli, dev.pty()) << q(filePath(s, c.file)), terminal);
    ::close(slave);
    ::close(master);

    EXPECT_EQ(r.code, toInt(c.code)) << r.err;
    for (const std::string& message : c.messages)
        EXPECT_TRUE(contains(r.err, expand(message, dev.pty()))) << "missing: " << message << "\n"
                                                                 << r.err;
    EXPECT_EQ(contains(r.err, text::DownloadComplete), c.code == Complete) << r.err;
    if (!settings.empty()) {
        EXPECT_EQ(readFile(ini), settings); // the store is not written
    }
    if (c.code == Complete) {
        EXPECT_TRUE(contains(r.err, "100%  ")) << r.err; // the last of the plain progress lines
        objcopy(s, "-I ihex -O binary --gap-fill 0xff", filePath(s, c.file),
                s.path("reference.bin"));
        EXPECT_TRUE(readFile(s.path("reference.bin")) == binary());
        EXPECT_TRUE(dev.image() == binary()) << "the device's image differs from the file's data";
        // The device heard every byte at the parity it expected.
        EXPECT_FALSE(contains(dev.log(), "parity ignored")) << dev.log();
    }
    dev.stop();
    if (c.hostLines >= 0) {
        EXPECT_EQ(dev.hostLines(), c.hostLines) << dev.log();
    }
}

// The device hangs up when the end record comes, before it answers it: the
// window has already said "Download complete", but quill-cli cannot know the
// last record went out, and says so with the port's exit code.
TEST(CliEnd, PortLostBeforeTheLastAnswerIsNoSuccess) {
    Scratch s;
    writeFile(s.path("tiny.hex"), ":020100001234B7\r\n:0201020056782D\r\n:00000001FF\r\n");
    Devsim dev(s, "--unplug-after 2");
    const Result r = run(
        s, QUILL_CLI,
        words("--port {port} --baud 38400 --yes --json", dev.pty()) << q(s.path("tiny.hex")), {});
    EXPECT_EQ(r.code, toInt(ExitCode::PortError)) << r.err;
    EXPECT_TRUE(contains(r.err, text::LostBeforeLastAnswer)) << r.err;
    EXPECT_TRUE(contains(r.out, "\"port_failure\"")) << r.out;
    dev.stop();
}

const std::string noYes = "--port {port} --baud 9600";
const std::string prompt = text::PrepareDevice + std::string("9600") + cli::text::PromptChoices;
const std::string idle = text::IdlePrefix + std::string("1") + text::IdleSuffix;

INSTANTIATE_TEST_SUITE_P(
    E2e, Cli,
    ::testing::Values(
        download("manual", "9600", "app.hex"), download("manual", "9600", "lf.hex"),
        download("manual", "38400", "app.hex"), download("manual", "38400", "lf.hex"),
        download("tracker", "9600", "app.hex"), download("tracker", "9600", "lf.hex"),
        download("tracker", "38400", "app.hex"), download("tracker", "38400", "lf.hex"),
        Case("EraseTimeout", NoEraseAnswer, {text::NoEraseResponse}, "--fault no-erase-xoff",
             "--port {port} --baud 38400 --yes", 1),
        // No answer to the select frame: the erase request goes out all the
        // same and is not answered either; the handshake is the cause.
        Case("TrackerSilent", TrackerHandshake,
             {text::TrackerNoSelectAnswer, text::NoEraseResponse},
             "--device tracker --fault silent", "--port {port} --baud 38400 --device tracker"),
        // After the (automatic) OK to the NAK the handshake goes on and the download completes.
        Case("TrackerSelectNak", Complete,
             {text::TrackerResponseError, text::CompletedAfterTrackerError},
             "--device tracker --fault select-nak", "--port {port} --baud 9600 --device tracker"),
        // Nothing after the 6th record: quill-cli's own time limit stops it,
        // and nothing more is sent.
        Case("SilentMidTransfer", IdleTimeout, {idle + "\r" + text::DownloadStopped},
             "--fault silent-after-records --silent-after 5",
             "--port {port} --baud 38400 --yes --idle-timeout 1", 7),
        Case("Unplugged", PortError, {text::DownloadStopped, "{port}"}, "--unplug-after 5"),
        Case("NoSuchPort", PortError, {text::PortOpenFailed, "/dev/null/tty"}, "",
             "--port /dev/null/tty --baud 38400 --yes"),
        // Refused before a byte is sent.
        Case("BadChecksum", BadRecord, {text::InvalidRecord}, "", "--port {port} --baud 9600 --yes",
             0, "bad.hex"),
        Case("MissingFile", FileError, {text::OpenFileError}, "", "--port {port} --baud 9600 --yes",
             0, "missing.hex"),
        // Not whole firmware: refused before a byte is sent.
        Case("NoRecords", BadRecord, {text::NoRecords}, "", "--port {port} --baud 9600 --yes", 0,
             "norecords.hex"),
        Case("NonHexRecord", BadRecord, {text::InvalidRecord}, "",
             "--port {port} --baud 9600 --yes", 0, "nonhex.hex"),
        Case("NoEndRecordRefused", BadRecord,
             {text::NoEndRecord,
              std::string(cli::text::RiskRefusedPrefix) + "--allow-no-end-record"},
             "", "--port {port} --baud 9600 --yes", 0, "noend.hex"),
        Case("NoEndRecordAccepted", Complete,
             {text::NoEndRecord,
              std::string(cli::text::RiskAcceptedPrefix) + "--allow-no-end-record"},
             "", "--port {port} --baud 38400 --yes --allow-no-end-record", -1, "noend.hex"),
        // Not a regular file: refused at once, without waiting for a writer or reading for ever.
        Case("Fifo", FileError, {text::OpenFileError}, "", "--port {port} --baud 9600 --yes", 0,
             "fifo"),
        Case("DevZero", FileError, {text::OpenFileError}, "", "--port {port} --baud 9600 --yes", 0,
             "/dev/zero"),
        // The XOFF XON the device said before the erase request is no answer to it.
        Case("StaleXoffXon", NoEraseAnswer, {text::NoEraseResponse}, "--fault stale-xoff-xon",
             "--port {port} --baud 9600 --yes --idle-timeout 5", 1),
        // The Manual prompt cannot be answered: refused before the port is touched.
        Case("NoTerminalAndNoYes", Usage, {cli::text::PromptNeedsTerminal}, "", noYes, 0),
        Case("PromptYes", Complete, {prompt}, "", noYes, -1, "app.hex", "", "y\n"),
        Case("PromptNo", Cancelled, {prompt}, "", noYes, 0, "app.hex", "", "n\n"),
        // Port, baud rate and device as the window program stored them, the
        // port's device named under "PortNames".
        Case("StoredSettings", Complete, {}, "--device tracker", "", -1, "app.hex",
             "[Port]\nCOM=2\nBAUD=38400\n[Option]\nDEVICE=1\n[PortNames]\nCOM2={port}\n")),
    [](const auto& info) { return info.param.name; });

// The file is rewritten while its records go out: the download stops with
// the message that says so, exit 4, and the device never hears the end record.
TEST(E2e, FileRewrittenMidDownloadNeverCompletes) {
    Scratch s;
    makeHexFiles(s);
    Devsim dev(s, "");
    const std::string file = s.path("app.hex");
    QProcess cli;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(s.path("config")));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(QUILL_CLI), words("--port {port} --baud 38400 --yes", dev.pty())
                                             << q(file));
    ASSERT_TRUE(cli.waitForStarted(5000));
    while (dev.hostLines() < 20 && cli.state() == QProcess::Running) {
        cli.waitForFinished(5);
    }
    writeFile(file, readFile(s.path("lf.hex"))); // the same firmware, written anew
    ASSERT_TRUE(cli.waitForFinished(15000));
    const std::string err = cli.readAllStandardError().toStdString();
    EXPECT_EQ(cli.exitCode(), toInt(BadRecord)) << err;
    EXPECT_TRUE(contains(err, expand(text::FileChanged, {}))) << err;
    EXPECT_FALSE(contains(err, text::DownloadComplete)) << err;
    dev.stop();
    EXPECT_FALSE(contains(dev.log(), "-- end of file"));
}

TEST(E2e, UsageErrors) {
    Scratch s; // an empty store: no port, no baud rate
    const std::pair<const char*, std::string> cases[] = {
        {"", "no hex file given"},
        {"a.hex b.hex", "give exactly one hex file"},
        {"--baud 1200 a.hex", "--baud must be 9600 or 38400"},
        {"--device pager a.hex", "--device must be manual or tracker"},
        {"--idle-timeout x a.hex", "--idle-timeout needs"},
        {"--frob a.hex", "unknown option --frob"},
        {"a.hex --port", "--port needs a value"},
        {"--yes a.hex", cli::text::NoPort},
        {"--port COM7 --yes a.hex", "COM7 is not one of COM1 to COM4"},
        {"--port=COM1 --yes a.hex", cli::text::NoBaud}};
    for (const auto& [args, message] : cases) {
        const Result r = run(s, QUILL_CLI, words(args));
        EXPECT_EQ(r.code, toInt(Usage)) << r.err;
        EXPECT_TRUE(contains(r.err, message)) << message << " not in: " << r.err;
    }
}

TEST(E2e, HelpListsEveryExitCode) {
    Scratch s;
    const Result r = run(s, QUILL_CLI, {QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    for (const ExitCodeInfo& info : exitCodeTable) {
        EXPECT_TRUE(contains(r.out, std::to_string(toInt(info.code)) + "  " + info.meaning))
            << info.meaning;
    }
}

} // namespace
} // namespace quill::e2e
