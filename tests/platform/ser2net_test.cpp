// SPDX-License-Identifier: MIT
// The serial control against a real ser2net, started by the test on a free
// localhost port with its own configuration, its device a pseudo-terminal
// the test holds. A ser2net that cannot be started fails the test.

#include "platform/qt/serialcontrol.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quill {
namespace {

class Ser2netTest : public ::testing::Test, public MSCommEvents {
  protected:
    void SetUp() override {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
        m_slavePath = ::ptsname(m_master);
        // Held open: the line stays readable, and no hang-up between opens.
        m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        ASSERT_EQ(::tcgetattr(m_slave, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(m_slave, TCSANOW, &raw), 0);

        QTcpServer free;
        ASSERT_TRUE(free.listen(QHostAddress::LocalHost));
        const quint16 port = free.serverPort();
        free.close();
        m_url = "rfc2217://127.0.0.1:" + std::to_string(port);
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("connection: &quill\n"
                    "  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1," +
                    std::to_string(port) + "\n  connector: serialdev," + m_slavePath +
                    ",9600n81,local\n  options:\n    kickolduser: true\n    chardelay: false\n")
                       .c_str());
        file.close();
        QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        if (program.isEmpty()) {
            program = QStandardPaths::findExecutable(
                QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        }
        ASSERT_FALSE(program.isEmpty()) << "ser2net is not installed: scripts/deps.sh installs it";
        m_ser2net.setProcessChannelMode(QProcess::MergedChannels);
        // -d: in the foreground; -u: no lock files.
        m_ser2net.start(program,
                        {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"), config});
        ASSERT_TRUE(m_ser2net.waitForStarted(5000));
        // A ser2net that cannot listen keeps running: it is up when it accepts.
        const bool up = QTest::qWaitFor(
            [port] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(200);
            },
            5000);
        ASSERT_TRUE(up) << m_ser2net.readAll().toStdString();
        m_comm.setEventSink(this);
        m_comm.setNetworkNotes([this](const std::string& note) { m_notes += note + "\n"; });
    }
    void TearDown() override {
        m_comm.setPortOpen(false);
        m_ser2net.kill();
        m_ser2net.waitForFinished(5000);
        ::close(m_slave);
        ::close(m_master);
    }
    void MSComm1_OnComm() override {
        for (const uint8_t byte : m_comm.input()) {
            m_received += static_cast<char>(byte);
        }
    }
    void onPortLost(const PortError& error) override { ADD_FAILURE() << error.text; }

    // What the device receives, up to `count` bytes within two seconds.
    QByteArray deviceReads(qsizetype count) const {
        QByteArray bytes;
        pollfd ready{m_master, POLLIN, 0};
        while (bytes.size() < count && ::poll(&ready, 1, 2000) == 1) {
            char chunk[512];
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            bytes.append(chunk, got);
        }
        return bytes;
    }
    PortStatus open(int16_t port, const std::string& settings) {
        m_comm.setCommPort(port);
        EXPECT_EQ(m_comm.setSettings(settings), std::nullopt);
        return m_comm.setPortOpen(true);
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_url;
    QTemporaryDir m_dir;
    QProcess m_ser2net;
    // COM1 on the network, COM2 the same device locally, COM3 a bare host.
    SerialControl m_comm{[this](int16_t port) {
                             return port == 1 ? m_url : port == 2 ? m_slavePath : m_url.substr(10);
                         },
                         {}};
    std::string m_notes;
    QByteArray m_received;
};

// The device's line has changed when the call returns; MARK to EVEN takes a
// new connection with ser2net 4.3.
TEST_F(Ser2netTest, TheLineIsSetWhenTheCallReturns) {
    const struct {
        const char* settings;
        speed_t speed;
        tcflag_t parity; // a pseudo-terminal shows PARODD and CMSPAR, never PARENB
        bool reconnect;
    } cases[] = {
        {"9600,M,8,1", B9600, PARODD | CMSPAR, false},
        {"38400,M,8,1", B38400, PARODD | CMSPAR, false},
        {"38400,E,8,1", B38400, 0, true},
        {"9600,E,8,1", B9600, 0, false},
        {"9600,M,8,1", B9600, PARODD | CMSPAR, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        m_notes.clear();
        const PortStatus status =
            m_comm.portOpen() ? m_comm.setSettings(c.settings) : open(1, c.settings);
        ASSERT_EQ(status, std::nullopt) << status->text;
        termios line{};
        ASSERT_EQ(::tcgetattr(m_slave, &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), c.speed);
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR | CSIZE | CSTOPB | CRTSCTS), c.parity | CS8);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(m_notes.find("reconnecting") != std::string::npos, c.reconnect) << m_notes;
    }
}

TEST_F(Ser2netTest, EveryByteCrossesUntouchedBothWays) {
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        all.append(static_cast<char>(value)); // IAC 0xFF, XON 0x11 and XOFF 0x13 among them
    }
    const PortStatus status = open(1, "38400,E,8,1");
    ASSERT_EQ(status, std::nullopt) << status->text;
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(all.constData()), 256);
    ASSERT_EQ(m_comm.output(bytes), std::nullopt);
    EXPECT_EQ(deviceReads(all.size()), all);
    ASSERT_EQ(::write(m_master, all.constData(), 256), 256);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_received.size() >= 256; }, 2000));
    EXPECT_EQ(m_received, all);
}

TEST_F(Ser2netTest, TheChooserTakesTheNetworkOrTheLocalPortAtEachOpen) {
    for (const int16_t port : {2, 1, 2}) {
        SCOPED_TRACE(port);
        const PortStatus status = open(port, "9600,M,8,1");
        ASSERT_EQ(status, std::nullopt) << status->text;
        EXPECT_EQ(m_comm.portDisplayName(),
                  "COM" + std::to_string(port) + " (" + (port == 1 ? m_url : m_slavePath) + ")");
        ASSERT_EQ(m_comm.output(std::array<uint8_t, 1>{static_cast<uint8_t>('0' + port)}),
                  std::nullopt);
        EXPECT_EQ(deviceReads(1), QByteArray(1, static_cast<char>('0' + port)));
        m_comm.setPortOpen(false);
    }
    const PortStatus bare = open(3, "9600,M,8,1");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->kind, PortErrorKind::NotFound) << bare->text;
}

} // namespace
} // namespace quill
