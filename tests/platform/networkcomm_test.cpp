// SPDX-License-Identifier: MIT
// The serial control for ports on the network: against a scripted server,
// the conversation on the wire byte by byte and the failures a real server
// seldom shows; against a real ser2net, started by the test on a free
// localhost port with its device a pseudo-terminal the test holds, the line
// settings and the bytes. A ser2net that cannot be started fails the test.

#include "platform/qt/serialcontrol.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace quill {
namespace {

using namespace std::chrono_literals;

// Each step: the bytes the server waits for, then the bytes it sends.
using Steps = std::vector<std::pair<QByteArray, QByteArray>>;

// Sent as a reply, closes the connection.
const QByteArray hangUp = "(hang up)";

// Plays the steps against each connection on a free localhost port, in a
// thread of its own since the control blocks its thread while it waits for
// an answer; then holds the connection until the client closes it.
class ScriptedServer {
  public:
    explicit ScriptedServer(Steps steps) : m_thread([this, steps] { run(steps); }) {
        m_port = m_ready.get_future().get();
    }
    ~ScriptedServer() {
        m_stop = true;
        m_thread.join();
    }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }
    int connections() const { return m_connections; }

  private:
    void run(const Steps& steps) {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_ready.set_value(server.serverPort());
        while (!m_stop) {
            if (!server.waitForNewConnection(20)) {
                continue;
            }
            ++m_connections;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            QByteArray buffer;
            for (const auto& [expected, reply] : steps) {
                while (buffer.size() < expected.size() && socket->waitForReadyRead(3000)) {
                    buffer += socket->readAll();
                }
                EXPECT_EQ(buffer.left(expected.size()).toHex(' '), expected.toHex(' '));
                buffer.remove(0, expected.size());
                if (reply == hangUp) {
                    socket->disconnectFromHost();
                    break;
                }
                socket->write(reply);
                socket->waitForBytesWritten(3000);
            }
            while (!m_stop && socket->state() == QAbstractSocket::ConnectedState) {
                socket->waitForReadyRead(20);
            }
        }
    }

    std::promise<uint16_t> m_ready;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    std::thread m_thread;
};

QByteArray sub(int code, const QByteArray& value) {
    return QByteArray("\xff\xfa\x2c", 3) + static_cast<char>(code) + value + "\xff\xf0";
}

const QByteArray opening("\xff\xfb\x00\xff\xfd\x00\xff\xfb\x2c", 9);
const QByteArray agree("\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c", 9);
constexpr char mark = 4, even = 3, space = 5;

// The six requests for 9600 baud, 8 data bits, the parity, 1 stop bit and
// no flow control either way (offset 0); or their answers (offset 100).
QByteArray line(int offset, char parity) {
    return sub(1 + offset, QByteArray("\x00\x00\x25\x80", 4)) + sub(2 + offset, "\x08") +
           sub(3 + offset, QByteArray(1, parity)) + sub(4 + offset, "\x01") +
           sub(5 + offset, "\x01") + sub(5 + offset, "\x0e");
}

// An open with the parity asked, answered with the parity given.
Steps opened(char asked, char answered) {
    return {{opening, agree}, {line(0, asked), line(100, answered)}};
}

Steps operator+(Steps steps, const Steps& more) {
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

// COM1 is the URL the test sets, COM2 the pseudo-terminal ser2net serves,
// COM3 ser2net's HOST:PORT without the scheme.
class NetworkPortTest : public ::testing::Test, public MSCommEvents {
  protected:
    void SetUp() override {
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
    void onPortLost(const PortError& error) override { m_losses.push_back(error); }
    PortStatus open(int16_t port, const char* settings) {
        m_comm.setCommPort(port);
        EXPECT_EQ(m_comm.setSettings(settings), std::nullopt);
        return m_comm.setPortOpen(true);
    }
    PortStatus openAt(const std::string& url, const char* settings = "9600,M,8,1") {
        m_url = url;
        return open(1, settings);
    }

    // ser2net on a free port for the pseudo-terminal; COM1 names it.
    void startSer2net() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
        m_slavePath = ::ptsname(m_master);
        // Held open: the line stays readable, and no hang-up between opens.
        m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
        QTcpServer free;
        ASSERT_TRUE(free.listen(QHostAddress::LocalHost));
        const quint16 port = free.serverPort();
        free.close();
        m_url = "rfc2217://127.0.0.1:" + std::to_string(port);
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        ASSERT_FALSE(program.isEmpty()) << "ser2net is not installed: scripts/deps.sh installs it";
        // In the foreground, without lock files, configured by the YAML
        // given (# for a new line), no other.
        const std::string config = "connection: &quill#  accepter: telnet(rfc2217),tcp(nodelay),"
                                   "127.0.0.1," +
                                   std::to_string(port) + "#  connector: serialdev," + m_slavePath +
                                   ",9600n81,local#  options:#    kickolduser: true#"
                                   "    chardelay: false";
        m_ser2net.setProcessChannelMode(QProcess::MergedChannels);
        m_ser2net.start(program, {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-Y"),
                                  QString::fromStdString(config)});
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
    }
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

    std::string m_url;
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    QProcess m_ser2net;
    SerialControl m_comm{[this](int16_t port) {
                             return port == 1 ? m_url : port == 2 ? m_slavePath : m_url.substr(10);
                         },
                         {200ms, 500ms}};
    QByteArray m_received;
    std::string m_notes;
    std::vector<PortError> m_losses;
};

TEST_F(NetworkPortTest, TheConversationOnTheWire) {
    // 0x11 was on its way when the purge came: dropped, as all before the answer.
    ScriptedServer server(opened(mark, mark) +
                          Steps{{QByteArray("\x41\xff\xff\x11\x13", 5), "\xff\xff\x13"},
                                {sub(12, "\x01"), "\x11" + sub(112, "\x01") + "\x06"}});
    const PortStatus status = openAt(server.url());
    ASSERT_EQ(status, std::nullopt) << status->text;
    EXPECT_EQ(m_notes, "Connected to " + server.url().substr(10) +
                           "\nThe server agreed to binary mode and serial port control\n"
                           "The server set 9600 baud, 8 data bits, MARK parity, 1 stop bits, "
                           "NONE outgoing flow control, NONE incoming flow control\n");
    ASSERT_EQ(m_comm.output(std::array<uint8_t, 4>{0x41, 0xff, 0x11, 0x13}), std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_received.size() == 2; }, 2000));
    m_comm.setInBufferCount(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_received.size() == 3; }, 2000));
    EXPECT_EQ(m_received, QByteArray("\xff\x13\x06", 3));
}

TEST_F(NetworkPortTest, OpenFailuresNameTheCause) {
    using enum PortErrorKind;
    const std::string device = "Device open failure: Value or file not found";
    const struct {
        Steps steps;
        std::string url; // the server's when empty
        PortErrorKind kind;
        std::string text;
    } cases[] = {
        {{}, "rfc2217://127.0.0.1", NotFound, ": a network port is named rfc2217://HOST:PORT."},
        {{},
         "rfc2217://" + std::string(64, 'x') + ".invalid:2",
         NotFound,
         ": the host was not found."},
        {{},
         "rfc2217://127.0.0.1:1",
         NotFound,
         ": the server refused the connection. Check that "
         "it runs and listens on that port."},
        {{}, "", Unsupported, " does not offer serial port control (RFC 2217)"},
        // SPACE to EVEN is no known fault on a new connection: no second one.
        {opened(even, space), "", Unsupported, " set SPACE parity when EVEN was asked."},
        {{{opening, agree}, {line(0, even), line(100, even).chopped(7)}},
         "",
         Other,
         " did not answer the request for incoming flow control in time."},
        {{{opening, agree + device.c_str() + "\r\n"}, {{}, hangUp}},
         "",
         Other,
         " closed the connection: " + device},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedServer server(c.steps);
        const PortStatus status = openAt(c.url.empty() ? server.url() : c.url, "9600,E,8,1");
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->kind, c.kind);
        EXPECT_TRUE(status->text.ends_with(c.text)) << status->text;
        EXPECT_FALSE(m_comm.portOpen());
        EXPECT_LE(server.connections(), 1);
    }
}

TEST_F(NetworkPortTest, AConnectThatTakesTooLong) {
    QTcpServer full;
    full.setListenBacklogSize(0);
    ASSERT_TRUE(full.listen(QHostAddress::LocalHost));
    QTcpSocket first; // fills the queue: the next connect is not answered
    first.connectToHost(QHostAddress::LocalHost, full.serverPort());
    ASSERT_TRUE(first.waitForConnected(1000));
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(full.serverPort());
    const PortStatus status = openAt(url);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->text, "Cannot open COM1 (" + url +
                                "): the server did not accept the connection within 5 seconds.");
}

// Once: by the call that meets the closed connection, or else by the event.
TEST_F(NetworkPortTest, AClosedConnectionIsALostPortToldOnce) {
    for (const bool asked : {false, true}) {
        ScriptedServer server(opened(mark, mark) + Steps{{asked ? line(0, even) : "", hangUp}});
        ASSERT_EQ(openAt(server.url()), std::nullopt);
        if (asked) {
            const PortStatus status = m_comm.setSettings("9600,E,8,1");
            ASSERT_TRUE(status.has_value());
            EXPECT_EQ(status->kind, PortErrorKind::Lost);
        }
        QTest::qWait(200);
        ASSERT_EQ(m_losses.size(), 1u);
        EXPECT_FALSE(m_comm.portOpen());
        EXPECT_EQ(m_comm.output(std::array<uint8_t, 1>{0x41})->kind, PortErrorKind::NotOpen);
    }
    EXPECT_TRUE(m_losses[0].text.ends_with(") was lost: the server closed it. Check the server "
                                           "and the network, then open the port again."));
}

// The device's line has changed when the call returns; MARK to EVEN takes a
// new connection with ser2net 4.3.
TEST_F(NetworkPortTest, WithSer2netTheLineIsSetWhenTheCallReturns) {
    ASSERT_NO_FATAL_FAILURE(startSer2net());
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

// The chooser takes the port on the network or the local one at each open,
// by the name behind the COM: either way every byte crosses untouched. (The
// local port goes first: ser2net flushes the device some time after its
// connection closes.)
TEST_F(NetworkPortTest, WithSer2netEveryByteCrossesUntouchedOnEitherKindOfPort) {
    ASSERT_NO_FATAL_FAILURE(startSer2net());
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        all.append(static_cast<char>(value)); // IAC 0xFF, XON 0x11 and XOFF 0x13 among them
    }
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(all.constData()), 256);
    for (const int16_t port : {2, 1}) {
        SCOPED_TRACE(port);
        m_received.clear();
        const PortStatus status = open(port, "38400,E,8,1");
        ASSERT_EQ(status, std::nullopt) << status->text;
        EXPECT_EQ(m_comm.portDisplayName(),
                  "COM" + std::to_string(port) + " (" + (port == 1 ? m_url : m_slavePath) + ")");
        ASSERT_EQ(m_comm.output(bytes), std::nullopt);
        EXPECT_EQ(deviceReads(all.size()), all);
        ASSERT_EQ(::write(m_master, all.constData(), 256), 256);
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_received.size() >= 256; }, 2000));
        EXPECT_EQ(m_received, all);
        m_comm.setPortOpen(false);
    }
    const PortStatus bare = open(3, "9600,M,8,1");
    ASSERT_TRUE(bare.has_value());
    EXPECT_TRUE(bare->text.ends_with(": the port does not exist.")) << bare->text;
}

} // namespace
} // namespace quill
