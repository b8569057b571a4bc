// SPDX-License-Identifier: MIT
// quill-cli on several ports at once, against one quill-devsim playing a
// line of devices (--count), all through real pseudo-terminals: every
// device that works completes with the file's image, whatever the others
// do; the exit code and the final table say which device ended how.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "run/exitcodes.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

#include "e2efiles.h"

namespace quill::e2e {
namespace {

using enum ExitCode;

size_t count(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t at = 0; (at = haystack.find(needle, at)) != std::string::npos; at += needle.size())
        ++n;
    return n;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList words(const std::string& text) {
    return q(text).split(u' ', Qt::SkipEmptyParts);
}

struct Result {
    int code = -1; // -1: crashed or did not end in time
    std::string err, out;
};

// A scratch folder with the firmware, as objcopy writes it and reads it back.
class Bench {
  public:
    Bench() {
        std::mt19937 random(0x5EED5u);
        m_binary.resize(3 * 1024 + 7);
        std::generate(m_binary.begin(), m_binary.end(),
                      [&] { return static_cast<char>(random() >> 24); });
        writeFile(path("app.bin"), m_binary);
        EXPECT_EQ(run(QUILL_OBJCOPY, "-I binary -O ihex --change-addresses 0x08000000 " +
                                         path("app.bin") + " " + path("app.hex"))
                      .code,
                  0);
        EXPECT_EQ(run(QUILL_OBJCOPY, "-I ihex -O binary --gap-fill 0xff " + path("app.hex") + " " +
                                         path("reference.bin"))
                      .code,
                  0);
        std::string bad = readFile(path("app.hex"));
        const size_t eol = bad.find('\r', bad.find("\n:10010000"));
        bad[eol - 1] = bad[eol - 1] == '0' ? '1' : '0'; // a checksum digit
        writeFile(path("bad.hex"), bad);
    }

    std::string path(const std::string& name) const {
        return m_dir.filePath(q(name)).toStdString();
    }
    const std::string& binary() const { return m_binary; }

    // Runs a program to its end (bounded); quill-cli's settings are the scratch folder's.
    Result run(const char* program, const std::string& args) const {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(path("config")));
        p.setProcessEnvironment(env);
        p.start(QString::fromUtf8(program), words(args));
        const bool ended = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit;
        const int code = ended ? p.exitCode() : -1;
        p.kill();
        p.waitForFinished(5000);
        return {code, p.readAllStandardError().toStdString(),
                p.readAllStandardOutput().toStdString()};
    }

  private:
    QTemporaryDir m_dir;
    std::string m_binary;
};

// quill-devsim playing `n` fast devices, reached through links tty1..ttyN;
// device k writes imagek.bin and logk.log.
class Line {
  public:
    Line(const Bench& b, int n, const std::string& options) : m_bench(b), m_n(n) {
        m_process.setWorkingDirectory(q(b.path("")));
        m_process.start(QStringLiteral(QUILL_DEVSIM),
                        words("--count " + std::to_string(n) +
                              " --record-ack-ms 0 --record-write-ms 0 --erase-ms 5"
                              " --reboot-ms 20 --frame-ack-ms 1 --image image.bin"
                              " --log devsim.log --link tty " +
                              options));
        // One line per device on its standard output: the terminals, in order.
        for (int k = 1; k <= n; ++k) {
            while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
            }
            const std::string pty = m_process.readLine().trimmed().toStdString();
            std::error_code ec;
            EXPECT_EQ(std::filesystem::read_symlink(port(k), ec).string(), pty) << ec.message();
        }
    }
    ~Line() { stop(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Lets the devices run on for `ms` while nothing else happens.
    void watch(int ms) { m_process.waitForFinished(ms); }
    std::string port(int k) const { return m_bench.path("tty" + std::to_string(k)); }
    std::string ports() const {
        std::string text;
        for (int k = 1; k <= m_n; ++k)
            text += " -p " + port(k);
        return text;
    }
    void stop() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    std::string image(int k) {
        return readFile(m_bench.path("image" + std::to_string(k) + ".bin"));
    }
    std::string log(int k) const {
        return readFile(m_bench.path("devsim" + std::to_string(k) + ".log"));
    }
    int hostLines(int k) const { return static_cast<int>(count(log(k), " host> ")); }

  private:
    const Bench& m_bench;
    int m_n;
    QProcess m_process;
};

// The final table's row of a port: the port, then its outcome.
bool tableSays(const std::string& err, const std::string& port, const std::string& outcome) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first >> std::ws;
        std::string rest;
        std::getline(words, rest);
        if (first == port && rest.starts_with(outcome + " "))
            return true;
    }
    return false;
}

// The table's words for an outcome, as the JSON names it.
std::string machineName(const std::string& outcome) {
    static const std::map<std::string, std::string> names{{"complete", "complete"},
                                                          {"port error", "port_failure"},
                                                          {"no erase answer", "no_erase_answer"},
                                                          {"silent", "idle_timeout"}};
    return names.at(outcome);
}

// A line of devices, some of them faulty: each device ends as its own
// behaviour says, the working ones with the whole image.
struct Case {
    const char* name;
    int devices;
    std::string devsim;                // quill-devsim's options
    std::string cli;                   // quill-cli's, besides the ports and the file
    ExitCode code;                     // of the whole run
    std::vector<std::string> outcomes; // in the table, port by port
    std::vector<std::string> messages; // on standard error, each line prefixed with its port
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Multi : public ::testing::TestWithParam<Case> {};

TEST_P(Multi, EachDeviceEndsOnItsOwn) {
    const Case& c = GetParam();
    Bench b;
    Line line(b, c.devices, c.devsim);
    const Result r = b.run(QUILL_CLI, line.ports() + " " + c.cli + " --json " + b.path("app.hex"));
    line.stop();

    EXPECT_EQ(r.code, toInt(c.code)) << r.err;
    // The JSON on standard output says the same as the table.
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(json[u"exit_code"].toInt(), toInt(c.code)) << r.out;
    const QJsonArray devices = json[u"devices"].toArray();
    ASSERT_EQ(devices.size(), c.devices) << r.out;
    ASSERT_EQ(static_cast<int>(c.outcomes.size()), c.devices);
    for (int k = 1; k <= c.devices; ++k) {
        const std::string& outcome = c.outcomes[static_cast<size_t>(k - 1)];
        const QJsonObject device = devices[k - 1].toObject();
        EXPECT_EQ(device[u"port"].toString().toStdString(), line.port(k));
        EXPECT_EQ(device[u"outcome"].toString().toStdString(), machineName(outcome)) << r.out;
        EXPECT_TRUE(tableSays(r.err, line.port(k), outcome))
            << line.port(k) << " should be " << outcome << "\n"
            << r.err;
        if (outcome == "complete") {
            EXPECT_TRUE(contains(r.err, line.port(k) + ": " + text::DownloadComplete)) << r.err;
            EXPECT_TRUE(line.image(k) == b.binary()) << "device " << k << "'s image differs";
            EXPECT_FALSE(contains(line.log(k), "parity ignored")) << line.log(k);
        }
    }
    EXPECT_TRUE(readFile(b.path("reference.bin")) == b.binary());
    for (const std::string& message : c.messages)
        EXPECT_TRUE(contains(r.err, message)) << "missing: " << message << "\n" << r.err;
}

const std::string fast = "--baud 38400 --yes";

INSTANTIATE_TEST_SUITE_P(
    E2e, Multi,
    ::testing::Values(Case{"FourManualDevices",
                           4,
                           "",
                           fast,
                           Complete,
                           {"complete", "complete", "complete", "complete"},
                           {"Prepare 4 devices for download at 38400 [y/N] y (--yes)",
                            "tty1: Erasing Flash ...", "tty4: Programming Flash ...", "tty3: 75%, ",
                            "tty3: complete, 196/196 records, 3079/3079 data bytes"}},
                      Case{"OneUnplugged",
                           3,
                           "--unplug-after 2:20",
                           fast,
                           PortError,
                           {"complete", "port error", "complete"},
                           {"tty2: " + std::string(text::DownloadStopped)}},
                      // Hangs up when the end record comes, before it answers it.
                      Case{"OneHangsUpOnTheEndRecord",
                           2,
                           "--unplug-after 2:195",
                           fast,
                           PortError,
                           {"complete", "port error"},
                           {"tty2: The port was lost before the device answered the last record"}},
                      Case{"OneSilent",
                           3,
                           "--fault 3:silent",
                           fast,
                           NoEraseAnswer,
                           {"complete", "complete", "no erase answer"},
                           {"tty3: No response on erase flash request."}},
                      Case{"OneFallsSilentMidTransfer",
                           2,
                           "--silent-after 1:10",
                           fast + " --idle-timeout 1",
                           IdleTimeout,
                           {"silent", "complete"},
                           {}},
                      // Two failures of different kinds: neither code stands for the run.
                      Case{"FailuresThatDiffer",
                           4,
                           "--unplug-after 1:20 --fault 4:silent",
                           fast,
                           DevicesDiffer,
                           {"port error", "complete", "complete", "no erase answer"},
                           {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The milliseconds of the first line of a device's log holding `what`; -1 if none.
double when(const std::string& log, const std::string& what) {
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (contains(line, what))
            return std::stod(line);
    return -1;
}

// Three Trackers whose handshakes take their own time: each waits only for
// its own device, so the quick ones are programming while the slow one is
// still rebooting, and all complete.
TEST(MultiE2e, TrackerHandshakesDoNotWaitForEachOther) {
    Bench b;
    Line line(b, 3,
              "--device tracker --reboot-ms 1:30 --frame-ack-ms 2:150 --reboot-ms 2:300 "
              "--reboot-ms 3:1500");
    const Result r =
        b.run(QUILL_CLI, line.ports() + " --baud 9600 --device tracker " + b.path("app.hex"));
    line.stop();
    EXPECT_EQ(r.code, toInt(Complete)) << r.err;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(tableSays(r.err, line.port(k), "complete")) << r.err;
        EXPECT_TRUE(line.image(k) == b.binary()) << "device " << k << "'s image differs";
    }
    // The slow device's reboot ends with its first XON; by then the quick
    // ones have had their erase request and their last record.
    const double slowReady = when(line.log(3), "dev> 11");
    ASSERT_GT(slowReady, 1000) << line.log(3);
    for (int k = 1; k <= 2; ++k) {
        const double erase = when(line.log(k), "host> :01000000FF00");
        const double last = when(line.log(k), "host> :00000001FF");
        EXPECT_GT(erase, 0) << line.log(k);
        EXPECT_LT(erase, slowReady) << line.log(k);
        EXPECT_LT(last, slowReady) << line.log(k);
    }
}

// --log DIR: one trace per device, named after its port, each holding its
// own device's conversation from the erase request to the end record.
TEST(MultiE2e, LogFolderHoldsATracePerDevice) {
    Bench b;
    Line line(b, 2, "");
    const Result r = b.run(QUILL_CLI, line.ports() + " " + fast + " --log " + b.path("logs") + " " +
                                          b.path("app.hex"));
    line.stop();
    EXPECT_EQ(r.code, toInt(Complete)) << r.err;
    for (int k = 1; k <= 2; ++k) {
        std::string name = line.port(k).substr(1) + ".log";
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string trace = readFile(b.path("logs/" + name));
        EXPECT_TRUE(contains(trace, "START " + line.port(k) + " 38400,M,8,1 Manual")) << trace;
        EXPECT_EQ(count(trace, "  \":01000000FF00..\""), 1u) << trace;
        EXPECT_EQ(count(trace, "  \":00000001FF..\""), 1u) << trace;
        EXPECT_EQ(count(trace, "TX    3A "), count(line.log(k), "host> :")) << trace;
        EXPECT_TRUE(contains(trace, "\"Download complete\"")) << trace;
    }
    // A folder that cannot be made: refused before any port is touched.
    writeFile(b.path("file"), "");
    Line again(b, 2, "");
    const Result refused = b.run(QUILL_CLI, again.ports() + " " + fast + " --log " +
                                                b.path("file/logs") + " " + b.path("app.hex"));
    again.stop();
    EXPECT_EQ(refused.code, toInt(Usage)) << refused.err;
    EXPECT_TRUE(contains(refused.err, cli::text::LogNotCreated)) << refused.err;
    for (int k = 1; k <= 2; ++k)
        EXPECT_EQ(again.hostLines(k), 0) << again.log(k);
}

// The file is rewritten while its records go out to three devices: each
// reads it on its own and stops on its own, none hears the end record.
TEST(MultiE2e, AFileRewrittenMidDownloadCompletesOnNoDevice) {
    Bench b;
    Line line(b, 3, "--record-ack-ms 2");
    const std::string file = b.path("app.hex");
    QProcess cli;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(b.path("config")));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(QUILL_CLI), words(line.ports() + " " + fast + " " + file));
    ASSERT_TRUE(cli.waitForStarted(5000));
    while (line.hostLines(3) < 20 && cli.state() == QProcess::Running)
        cli.waitForFinished(5);
    std::string text = readFile(file);
    std::erase(text, '\r'); // the same firmware, written anew with other line ends
    writeFile(file, text);
    ASSERT_TRUE(cli.waitForFinished(15000));
    const std::string err = cli.readAllStandardError().toStdString();
    line.stop();
    EXPECT_EQ(cli.exitCode(), toInt(BadRecord)) << err;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(tableSays(err, line.port(k), "bad/changed file")) << err;
        EXPECT_FALSE(contains(line.log(k), "-- end of file")) << line.log(k);
    }
    EXPECT_FALSE(contains(err, text::DownloadComplete)) << err;
}

// Refused once for all, before any port is touched: no device hears a byte.
TEST(MultiE2e, ABadFileIsRefusedForEveryDevice) {
    Bench b;
    Line line(b, 3, "");
    const Result r = b.run(QUILL_CLI, line.ports() + " " + fast + " " + b.path("bad.hex"));
    line.stop();
    EXPECT_EQ(r.code, toInt(BadRecord)) << r.err;
    EXPECT_EQ(count(r.err, "Invalid data error in hex record"), 1u) << r.err;
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(line.hostLines(k), 0) << line.log(k);
}

// The same port or device twice, or a port outside COM1 to COM4: refused
// before anything is done.
TEST(MultiE2e, PortsThatCannotAllBeUsedAreRefused) {
    Bench b;
    Line line(b, 2, "");
    const std::string file = " " + b.path("app.hex");
    Result r = b.run(QUILL_CLI, line.ports() + " -p " + line.port(1) + " " + fast + file);
    EXPECT_EQ(r.code, toInt(Usage)) << r.err;
    EXPECT_TRUE(contains(r.err, "is given more than once")) << r.err;

    r = b.run(QUILL_CLI, line.ports() + " -p COM7 " + fast + file);
    EXPECT_EQ(r.code, toInt(Usage)) << r.err;
    EXPECT_TRUE(contains(r.err, "COM7 is not one of COM1 to COM4")) << r.err;

    // A link and the terminal it names are one device.
    const std::string terminal = std::filesystem::read_symlink(line.port(2)).string();
    r = b.run(QUILL_CLI, line.ports() + " -p " + terminal + " " + fast + file);
    EXPECT_EQ(r.code, toInt(Usage)) << r.err;
    EXPECT_TRUE(contains(r.err, line.port(2) + " and " + terminal + cli::text::SameDeviceTwice))
        << r.err;
    line.stop();
    for (int k = 1; k <= 2; ++k)
        EXPECT_EQ(line.hostLines(k), 0) << line.log(k);
}

// SIGINT and SIGTERM stop every device at once: "Download interrupted"
// once, exit 130 or 143 within a second, and no device hears more than the
// record that was on its way when the signal came.
TEST(MultiE2e, ASignalStopsEveryDevice) {
    for (const int signal : {SIGINT, SIGTERM}) {
        Bench b;
        // Slow devices: a record takes a tenth of a second.
        Line line(b, 3, "--record-ack-ms 100");
        QProcess cli;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(b.path("config")));
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(QUILL_CLI),
                  words(line.ports() + " --baud 38400 --yes " + b.path("app.hex")));
        std::string said;
        for (int tries = 0; tries < 100 && count(said, "Programming Flash ...") < 3; ++tries) {
            cli.waitForReadyRead(100);
            said += cli.readAllStandardError().toStdString();
        }
        ASSERT_EQ(count(said, "Programming Flash ..."), 3u) << said;
        std::vector<size_t> before;
        for (int k = 1; k <= 3; ++k)
            before.push_back(count(line.log(k), "host> :"));

        ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), signal), 0);
        ASSERT_TRUE(cli.waitForFinished(1000));
        said += cli.readAllStandardError().toStdString();
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 128 + signal) << said;
        EXPECT_EQ(count(said, cli::text::Interrupted), 1u) << said;
        // Long enough for a device that was still being written to to show it.
        line.watch(300);
        for (int k = 1; k <= 3; ++k) {
            EXPECT_TRUE(tableSays(said, line.port(k), "interrupted")) << said;
            EXPECT_LE(count(line.log(k), "host> :"), before[static_cast<size_t>(k - 1)] + 1)
                << line.log(k);
        }
    }
}

} // namespace
} // namespace quill::e2e
