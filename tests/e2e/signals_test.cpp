// SPDX-License-Identifier: MIT
// SIGINT and SIGTERM end a running quill-cli cleanly: "Download
// interrupted", exit 130 or 143 within a second, nothing more sent to the
// device once the signal is handled, and the port's line settings as they
// were before quill-cli opened it. quill-devsim plays a slow device.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "run/exitcodes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace quill::e2e {
namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

int count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = 0; (at = text.find(needle, at)) != std::string::npos; ++at) {
        ++n;
    }
    return n;
}

// Reads a process's standard error until it holds `needle` `times` times;
// false after 10 s.
bool waitForOutput(QProcess& p, std::string& seen, const std::string& needle, int times = 1) {
    QElapsedTimer clock;
    clock.start();
    while (count(seen, needle) < times) {
        if (clock.elapsed() > 10000) {
            return false;
        }
        p.waitForReadyRead(100);
        seen += p.readAllStandardError().toStdString();
    }
    return true;
}

// Records of 16 data bytes each, and the end record.
std::string hexFile(int records) {
    std::string text;
    for (int r = 0; r < records; ++r) {
        char line[64];
        const int address = r * 16;
        int sum = 16 + (address >> 8) + (address & 0xFF);
        std::string data;
        for (int i = 0; i < 16; ++i) {
            char byte[3];
            std::snprintf(byte, sizeof byte, "%02X", (r + i) & 0xFF);
            data += byte;
            sum += (r + i) & 0xFF;
        }
        std::snprintf(line, sizeof line, ":10%04X00%s%02X\r\n", address, data.c_str(),
                      (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return text + ":00000001FF\r\n";
}

// Everything the device received, understood or not (bytes at the wrong
// parity are logged as ignored).
int heard(const std::string& log) {
    return count(log, "host> ") + count(log, " parity ignored");
}

enum class Moment { Records, Prompt, TrackerReboot };

struct Case {
    const char* name;
    int signal;
    Moment moment;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Signals : public testing::TestWithParam<Case> {};

TEST_P(Signals, EndTheDownloadCleanly) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("app.hex")).toStdString();
    std::ofstream(file, std::ios::binary) << hexFile(200);

    // A slow device: each record takes a fifth of a second; the rebooting
    // Tracker takes five seconds.
    QProcess devsim;
    const bool tracker = c.moment == Moment::TrackerReboot;
    devsim.start(
        QStringLiteral(QUILL_DEVSIM),
        {QStringLiteral("--device"), tracker ? QStringLiteral("tracker") : QStringLiteral("manual"),
         QStringLiteral("--record-ack-ms"), QStringLiteral("200"), QStringLiteral("--reboot-ms"),
         QStringLiteral("5000"), QStringLiteral("--log"), QStringLiteral("-")});
    while (!devsim.canReadLine() && devsim.waitForReadyRead(5000)) {
    }
    const std::string pty = devsim.readLine().trimmed().toStdString();
    ASSERT_FALSE(pty.empty());

    // Held open by the test: the line settings stay readable after quill-cli is gone.
    const int line = ::open(pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(line, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(line, &before), 0);

    // The Manual prompt is answered on a terminal, where nothing is typed.
    const int promptMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_EQ(::grantpt(promptMaster) | ::unlockpt(promptMaster), 0);
    const std::string promptTerminal = ::ptsname(promptMaster);

    QProcess cli;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    cli.setProcessEnvironment(env);
    QStringList args{QStringLiteral("--port"), q(pty), QStringLiteral("--baud"),
                     QStringLiteral("9600")};
    if (tracker) {
        args << QStringLiteral("--device") << QStringLiteral("tracker");
    } else if (c.moment == Moment::Records) {
        args << QStringLiteral("--yes");
    }
    cli.setStandardInputFile(q(promptTerminal));
    cli.start(QStringLiteral(QUILL_CLI), args << q(file));

    std::string cliSaid;
    std::string deviceHeard;
    switch (c.moment) {
    case Moment::Records:
        ASSERT_TRUE(waitForOutput(cli, cliSaid, text::ProgrammingFlash)) << cliSaid;
        ASSERT_TRUE(waitForOutput(devsim, deviceHeard, "host> :10", 3)) << deviceHeard;
        break;
    case Moment::Prompt:
        ASSERT_TRUE(waitForOutput(cli, cliSaid, text::PrepareDevice)) << cliSaid;
        break;
    case Moment::TrackerReboot:
        // The select frame and the program frame.
        ASSERT_TRUE(waitForOutput(devsim, deviceHeard, "host> ", 2)) << deviceHeard;
        break;
    }
    deviceHeard += devsim.readAllStandardError().toStdString();
    const int recordsBefore = count(deviceHeard, "host> :10");

    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), c.signal), 0);
    ASSERT_TRUE(cli.waitForFinished(5000));
    const qint64 took = clock.elapsed();
    cliSaid += cli.readAllStandardError().toStdString();

    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + c.signal);
    EXPECT_LT(took, 1000);
    EXPECT_EQ(count(cliSaid, cli::text::Interrupted), 1) << cliSaid;
    EXPECT_EQ(count(cliSaid, text::DownloadStopped), 0) << cliSaid;

    // At most the record that was on its way when the signal came reaches
    // the device afterwards; no erase request, no record after a prompt or
    // a handshake.
    devsim.waitForReadyRead(300);
    deviceHeard += devsim.readAllStandardError().toStdString();
    switch (c.moment) {
    case Moment::Records:
        EXPECT_LE(count(deviceHeard, "host> :10"), recordsBefore + 1) << deviceHeard;
        break;
    case Moment::Prompt:
        EXPECT_EQ(heard(deviceHeard), 0) << deviceHeard;
        break;
    case Moment::TrackerReboot:
        EXPECT_EQ(count(deviceHeard, "host> :"), 0) << deviceHeard;
        break;
    }

    termios after{};
    ASSERT_EQ(::tcgetattr(line, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));

    ::close(line);
    ::close(promptMaster);
    devsim.terminate();
    devsim.waitForFinished(5000);
}

INSTANTIATE_TEST_SUITE_P(E2e, Signals,
                         testing::Values(Case{"SigintDuringRecords", SIGINT, Moment::Records},
                                         Case{"SigtermDuringRecords", SIGTERM, Moment::Records},
                                         Case{"SigintAtThePrompt", SIGINT, Moment::Prompt},
                                         Case{"SigtermWhileTheTrackerReboots", SIGTERM,
                                              Moment::TrackerReboot}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quill::e2e
