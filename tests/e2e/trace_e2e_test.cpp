// SPDX-License-Identifier: MIT
// quill-cli's trace and results against quill-devsim, both as child
// processes on a real pseudo-terminal: the --log file line by line for a
// Manual and a Tracker download and for a failed one, the short trace of
// -v, the JSON object of --json read back by Qt, and the silence of -q.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
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
#include <sstream>

#include "e2efiles.h"

namespace quill::e2e {
namespace {

using Lines = std::vector<std::string>;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Three records of 16 data bytes and the end record.
const Lines records = {":10000000000102030405060708090A0B0C0D0E0F78",
                       ":10001000101112131415161718191A1B1C1D1E1F68",
                       ":10002000202122232425262728292A2B2C2D2E2F58", ":00000001FF"};

// A trace line as the --log file writes a write or a batch received: the
// bytes in hex, then their printable form.
std::string bytesLine(const std::string& name, const std::string& bytes) {
    std::string hex, printable;
    for (const char c : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%s%02X", hex.empty() ? "" : " ",
                      static_cast<unsigned char>(c));
        hex += digits;
        printable += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return name + std::string(6 - name.size(), ' ') + hex + "  \"" + printable + "\"";
}

// A message box as the trace shows it: CRs written as \r.
std::string boxLine(std::string text, const char* buttons) {
    for (size_t at = 0; (at = text.find('\r', at)) != std::string::npos; at += 2) {
        text.replace(at, 1, "\\r");
    }
    return "BOX   \"" + text + "\" " + buttons;
}

class Rig {
  public:
    explicit Rig(const std::string& devsimOptions) {
        std::ofstream(path("app.hex"), std::ios::binary) << [] {
            std::string text;
            for (const std::string& r : records) {
                text += r + "\r\n";
            }
            return text;
        }();
        m_devsim.setWorkingDirectory(m_dir.path());
        m_devsim.start(QStringLiteral(QUILL_DEVSIM),
                       q("--record-ack-ms 0 --record-write-ms 0 --erase-ms 50 --reboot-ms 20"
                         " --frame-ack-ms 1 --link tty " +
                         devsimOptions)
                           .split(u' ', Qt::SkipEmptyParts));
        while (!m_devsim.canReadLine() && m_devsim.waitForReadyRead(5000)) {
        }
        m_pty = m_devsim.readLine().trimmed().toStdString();
        EXPECT_FALSE(m_pty.empty());
    }
    ~Rig() {
        m_devsim.terminate();
        if (!m_devsim.waitForFinished(5000)) {
            m_devsim.kill();
        }
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    std::string path(const std::string& name) const {
        return m_dir.filePath(q(name)).toStdString();
    }
    const std::string& pty() const { return m_pty; }

    // quill-cli with `options` ("{tty}" is the device's link, "{dir}" the
    // scratch folder) on app.hex, started; its settings are the scratch folder's.
    void start(const std::string& options) {
        QString words = q(options);
        words.replace(QStringLiteral("{tty}"), q(path("tty")))
            .replace(QStringLiteral("{dir}"), m_dir.path());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), q(path("config")));
        m_cli.setProcessEnvironment(env);
        m_cli.start(QStringLiteral(QUILL_CLI), words.split(u' ', Qt::SkipEmptyParts)
                                                   << q(path("app.hex")));
        ASSERT_TRUE(m_cli.waitForStarted(5000));
    }
    // Runs quill-cli to its end; its exit code, -1 when it did not end in time.
    int run(const std::string& options) {
        start(options);
        return finish();
    }
    int finish() {
        const bool ended =
            m_cli.waitForFinished(15000) && m_cli.exitStatus() == QProcess::NormalExit;
        m_out += m_cli.readAllStandardOutput().toStdString();
        m_err += m_cli.readAllStandardError().toStdString();
        return ended ? m_cli.exitCode() : -1;
    }
    // Waits until quill-cli has said `text` on standard error.
    bool waitFor(const std::string& text) {
        QElapsedTimer clock;
        clock.start();
        while (!contains(m_err, text) && clock.elapsed() < 10000) {
            m_cli.waitForReadyRead(50);
            m_err += m_cli.readAllStandardError().toStdString();
        }
        return contains(m_err, text);
    }
    QProcess& cli() { return m_cli; }
    const std::string& out() const { return m_out; }
    const std::string& err() const { return m_err; }

    // The --log file's lines without their times; the first line as it stands.
    Lines log(const std::string& name) const {
        Lines lines;
        std::istringstream in(readFile(path(name)));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(lines.empty() ? line : line.substr(std::min<size_t>(10, line.size())));
        }
        return lines;
    }

  private:
    QTemporaryDir m_dir;
    QProcess m_devsim;
    QProcess m_cli;
    std::string m_pty, m_out, m_err;
};

// True when `expected` appears in `lines` in this order, other lines between.
::testing::AssertionResult inOrder(const Lines& lines, const Lines& expected) {
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at] != want) {
            ++at;
        }
        if (at == lines.size()) {
            std::string all;
            for (const std::string& l : lines) {
                all += l + "\n";
            }
            return ::testing::AssertionFailure()
                   << "missing, or out of order: " << want << "\nin:\n"
                   << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

const std::string erase = ":01000000FF00\r\n";
const std::string selectFrame("\x02\x03\x0F\x00\x21\xCD\x00", 7);
const std::string programFrame("\x02\x04\x0F\x00\x23\x38\x92\x00", 8);

Lines recordLines() {
    Lines out;
    for (const std::string& r : records) {
        out.push_back(bytesLine("TX", r + "\r\n"));
    }
    return out;
}

Lines join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(TraceE2e, LogFileLineByLine) {
    const struct {
        const char* name;
        std::string devsim, cli;
        int code;
        Lines expected; // "{file}" in START stands for the hex file
        int writes;     // TX lines: every write to the port
    } cases[] = {
        {"Manual, 9600", "", "-p {tty} -b 9600 -y", 0,
         join({"LINE  9600,M,8,1",
               "START {tty} 9600,M,8,1 Manual \"{file}\" 4 records 48 data bytes",
               boxLine(std::string(text::PrepareDevice) + "9600\r", "[OK Cancel]"), "BOX   OK",
               "TIMER armed 500 ms", "STATE cs_flash_erase", bytesLine("TX", erase),
               bytesLine("RX", "\x13"), "STATE cs_program_ready", bytesLine("RX", "\x11"),
               "STATE cs_programming", "TIMER armed 500 ms", "STATE cs_record_download"},
              join(recordLines(), {"STATE cs_file_done", boxLine(text::DownloadComplete, "[OK]")})),
         5},
        {"Tracker, 38400", "--device tracker", "-p {tty} -b 38400 -d tracker", 0,
         join({"LINE  38400,E,8,1",
               "START {tty} 38400,E,8,1 Tracker \"{file}\" 4 records 48 data bytes",
               "STATE cs_tracker_select",
               "TIMER armed 500 ms",
               bytesLine("TX", selectFrame),
               "WAIT  shown",
               bytesLine("RX", "\x04"),
               "TIMER stopped",
               "WAIT  closed",
               "STATE cs_tracker_prog",
               bytesLine("TX", programFrame),
               bytesLine("RX", "\x04"),
               "LINE  38400,M,8,1",
               "STATE cs_tracker_reboot",
               "TIMER armed 10000 ms",
               bytesLine("RX", "\x11"),
               "WAIT  closed",
               "STATE cs_flash_erase",
               bytesLine("TX", erase),
               "STATE cs_program_ready"},
              join(recordLines(), {"STATE cs_file_done", boxLine(text::DownloadComplete, "[OK]")})),
         7},
        // A failed download is written too, to its last message.
        {"no answer to the erase request",
         "--fault no-erase-xoff",
         "-p {tty} -b 9600 -y",
         6,
         {"STATE cs_flash_erase", bytesLine("TX", erase), "TIMER expired", "STATE cs_off",
          boxLine(text::NoEraseResponse, "[OK]")},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig run(c.devsim);
        EXPECT_EQ(run.run(c.cli + " --log {dir}/logs/flash.log"), c.code) << run.err();
        const Lines lines = run.log("logs/flash.log");
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines[0].starts_with("# quill-cli ")) << lines[0];
        Lines expected = c.expected;
        for (std::string& line : expected) {
            if (line.starts_with("START ")) {
                line.replace(line.find("{tty}"), 5, run.path("tty"));
                line.replace(line.find("{file}"), 6, run.path("app.hex"));
            }
        }
        EXPECT_TRUE(inOrder(lines, expected));
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.starts_with("TX "); }),
                  c.writes);
        // The port's set-up comes before the download's start.
        EXPECT_TRUE(inOrder(lines, {"OPEN  " + run.path("tty"), expected[1]}));
        EXPECT_EQ(run.out(), ""); // standard output is for --json alone
    }
}

// Not written, not started: a usage error, before the port is touched (a
// port that does not exist would be a port error).
TEST(TraceE2e, LogThatCannotBeCreated) {
    Rig run("");
    EXPECT_EQ(run.run("-p {dir}/no-such-port -b 9600 -y --log /dev/null/flash.log"), 2);
    EXPECT_TRUE(contains(run.err(), std::string(cli::text::LogNotCreated) + "/dev/null/flash.log"))
        << run.err();
    EXPECT_FALSE(contains(run.err(), text::PortOpenFailed)) << run.err();
}

TEST(TraceE2e, VerboseShortTraceOnStandardError) {
    Rig run("");
    EXPECT_EQ(run.run("-p {tty} -b 9600 -y -v"), 0) << run.err();
    for (const char* line :
         {"TX    :01000000FF00 (15 bytes)", "RX    XOFF", "STATE cs_program_ready",
          "TX    :10000000.. (45 bytes)", "TX    :00000001FF (13 bytes)"}) {
        EXPECT_TRUE(contains(run.err(), line)) << line << "\nin:\n" << run.err();
    }
}

QJsonObject json(const Rig& run) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out()), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out();
    EXPECT_TRUE(doc.isObject()) << run.out();
    return doc.object();
}

std::string lastMessage(const QJsonObject& o) {
    const QJsonArray messages = o[u"messages"].toArray();
    return messages.isEmpty() ? std::string{} : messages.last().toString().toStdString();
}

std::string lines(std::string text) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

// One object on standard output, nothing else there; -q leaves standard
// error silent but for a failed download's last message.
TEST(TraceE2e, JsonAndQuiet) {
    const struct {
        const char* name;
        std::string devsim, cli;
        int code;
        const char* outcome;
        int recordsSent;
        std::string lastMessage, err; // err: standard error exactly, when quiet
    } cases[] = {
        {"complete", "", "-p {tty} -b 9600 -y --json", 0, "complete", 4, text::DownloadComplete,
         "?"},
        {"complete, quiet", "", "-p {tty} -b 9600 -y --json -q", 0, "complete", 4,
         text::DownloadComplete, ""},
        {"no erase answer", "--fault no-erase-xoff", "-p {tty} -b 9600 -y --json", 6,
         "no_erase_answer", 0, lines(text::NoEraseResponse), "?"},
        {"no erase answer, quiet", "--fault no-erase-xoff", "-p {tty} -b 9600 -y -q --json", 6,
         "no_erase_answer", 0, lines(text::NoEraseResponse), lines(text::NoEraseResponse) + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig run(c.devsim);
        ASSERT_EQ(run.run(c.cli), c.code) << run.err();
        const QJsonObject o = json(run);
        EXPECT_EQ(o[u"outcome"].toString().toStdString(), c.outcome);
        EXPECT_EQ(o[u"exit_code"].toInt(), c.code);
        EXPECT_EQ(o[u"port"].toString().toStdString(), run.path("tty"));
        EXPECT_EQ(o[u"device_path"].toString().toStdString(),
                  std::filesystem::canonical(run.pty()).string());
        EXPECT_EQ(o[u"baud"].toInt(), 9600);
        EXPECT_EQ(o[u"device"].toString(), u"manual");
        EXPECT_EQ(o[u"records_sent"].toInt(), c.recordsSent);
        EXPECT_EQ(o[u"records_total"].toInt(), 4);
        EXPECT_EQ(o[u"data_bytes_sent"].toInt(), c.recordsSent == 4 ? 48 : 0);
        EXPECT_EQ(o[u"data_bytes_total"].toInt(), 48);
        EXPECT_GT(o[u"seconds"].toDouble(), 0.0);
        EXPECT_EQ(lastMessage(o), c.lastMessage);
        if (c.err != "?") {
            EXPECT_EQ(run.err(), c.err);
        } else {
            EXPECT_TRUE(contains(run.err(), lines(c.lastMessage))) << run.err();
        }
    }
}

// A command line that cannot be read still gets its object.
TEST(TraceE2e, JsonOfAUsageError) {
    Rig run("");
    ASSERT_EQ(run.run("-p {tty} --baud 1200 --json"), 2);
    const QJsonObject o = json(run);
    EXPECT_EQ(o[u"outcome"].toString(), u"usage");
    EXPECT_EQ(o[u"exit_code"].toInt(), 2);
    EXPECT_TRUE(o[u"baud"].isNull());
    EXPECT_TRUE(contains(o[u"messages"].toArray().first().toString().toStdString(),
                         "--baud must be 9600 or 38400"));
}

// Ctrl+C (or SIGTERM) in the middle of the records: the object tells how
// far it got, with the signal's exit status, and the trace file ends with
// the port closed.
TEST(TraceE2e, JsonAndLogOnASignal) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Rig run("--record-ack-ms 100");
        run.start("-p {tty} -b 9600 -y --json --log {dir}/flash.log");
        ASSERT_TRUE(run.waitFor(text::ProgrammingFlash)) << run.err();
        ASSERT_EQ(::kill(static_cast<pid_t>(run.cli().processId()), signal), 0);
        ASSERT_EQ(run.finish(), 128 + signal) << run.err();
        const QJsonObject o = json(run);
        EXPECT_EQ(o[u"outcome"].toString(), u"interrupted");
        EXPECT_EQ(o[u"exit_code"].toInt(), 128 + signal);
        EXPECT_LT(o[u"records_sent"].toInt(), 4);
        EXPECT_EQ(lastMessage(o), cli::text::Interrupted);
        const Lines lines = run.log("flash.log");
        EXPECT_TRUE(inOrder(lines, {"STATE cs_record_download", "STATE cs_off", "CLOSE"}));
    }
}

} // namespace
} // namespace quill::e2e
