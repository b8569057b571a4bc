// SPDX-License-Identifier: MIT
// The serial control for ports on the network against a scripted server:
// the conversation on the wire byte by byte, and the failures a real server
// seldom shows. (The end-to-end tests run it against a real ser2net.)

#include "port/portcontrol.h"
#include "qt/serialcontrol.h"
#include "trace/tracedcomm.h"

#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace quill {
namespace {

using namespace std::chrono_literals;

// Each step: the bytes the server waits for, then the bytes it sends; the
// reply hangUp closes the connection.
using Steps = std::vector<std::pair<QByteArray, QByteArray>>;
const QByteArray hangUp = "(hang up)";

// Plays the steps against each connection, in a thread of its own since
// the control blocks its thread while it waits for an answer.
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
                reply == hangUp ? socket->disconnectFromHost() : void(socket->write(reply));
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

// An open with the parity asked, answered with the parity given, then more.
Steps opened(char asked, char answered, const Steps& more = {}) {
    Steps steps{{opening, agree}, {line(0, asked), line(100, answered)}};
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

// COM1 is m_url.
class NetworkPortTest : public ::testing::Test, public MSCommEvents {
  protected:
    void SetUp() override { m_comm.setEventSink(this); }
    void MSComm1_OnComm() override {
        const std::vector<uint8_t> bytes = m_comm.input();
        m_received.append(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    }
    void onPortLost(const PortError& error) override { m_losses.push_back(error); }
    PortStatus open(const char* settings, const std::string& url) {
        m_url = url;
        EXPECT_EQ(m_comm.setSettings(settings), std::nullopt);
        return m_comm.setPortOpen(true);
    }

    std::string m_url;
    SerialControl m_comm{[this](int16_t) { return m_url; }, {200ms, 500ms}};
    QByteArray m_received;
    std::vector<PortError> m_losses;
};

// The window's start-up probe, through the trace, counts the port present
// without a connection.
TEST_F(NetworkPortTest, TheConversationOnTheWire) {
    // 0x11 was on its way when the purge came: dropped, as all before the answer.
    ScriptedServer server(opened(mark, mark,
                                 {{QByteArray("\x41\xff\xff\x11\x13", 5), "\xff\xff\x13"},
                                  {sub(12, "\x01"), "\x11" + sub(112, "\x01") + "\x06"}}));
    m_url = server.url();
    struct : WireTrace {
        void onTraceEvent(const TraceEvent&) override {}
    } none;
    Module1 m;
    TraceTap tap(
        m, [] { return int64_t{0}; }, none);
    TracedComm traced(m_comm, tap);
    probe_ports(m, traced);
    EXPECT_TRUE(m.port_present[1] && server.connections() == 0);
    const PortStatus status = open("9600,M,8,1", server.url());
    ASSERT_EQ(status, std::nullopt) << status->text;
    ASSERT_EQ(m_comm.output(std::array<uint8_t, 4>{0x41, 0xff, 0x11, 0x13}), std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_received.size() == 2; }, 2000));
    m_comm.setInBufferCount(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_received.size() == 3; }, 2000));
    EXPECT_EQ(m_received, QByteArray("\xff\x13\x06", 3));
}

// Each failure names its cause, closes the port and is told once: a
// connection that closes under a call is a lost port told by that call,
// and not again by the event.
TEST_F(NetworkPortTest, FailuresNameTheirCause) {
    using enum PortErrorKind;
    QTcpServer full; // its queue taken by the first connection: the next is not answered
    full.setListenBacklogSize(0);
    ASSERT_TRUE(full.listen(QHostAddress::LocalHost));
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, full.serverPort());
    ASSERT_TRUE(first.waitForConnected(1000));
    const std::string device = "Device open failure: Value or file not found";
    const struct {
        Steps steps;
        std::string url; // the server's when empty
        PortErrorKind kind;
        std::string text;
    } cases[] = {
        {{}, "rfc2217://127.0.0.1", NotFound, ": a network port is named rfc2217://HOST:PORT."},
        {{}, "rfc2217://" + std::string(64, 'x') + ".invalid:2", NotFound, ": the host was not"},
        {{}, "rfc2217://127.0.0.1:1", NotFound, "COM1 (rfc2217://127.0.0.1:1): the server refused"},
        {{}, "rfc2217://127.0.0.1:" + std::to_string(full.serverPort()), Other, "within 5 seconds"},
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
        {opened(even, even, {{line(0, mark), hangUp}}), "", Lost, ") was lost: the server closed"},
        // A flood before the negotiation is cut off, with the memory it took.
        {{{opening, QByteArray(1024 * 1024, 'x')}}, "", Other, " sent more than quill can hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedServer server(c.steps);
        PortStatus status = open("9600,E,8,1", c.url.empty() ? server.url() : c.url);
        if (c.kind == Lost) {
            ASSERT_EQ(status, std::nullopt);
            status = m_comm.setSettings("9600,M,8,1");
        }
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->kind, c.kind);
        EXPECT_NE(status->text.find(c.text), std::string::npos) << status->text;
        EXPECT_FALSE(m_comm.portOpen());
        EXPECT_LE(server.connections(), 1);
    }
    QTest::qWait(200);
    EXPECT_TRUE(m_losses.empty());
}

} // namespace
} // namespace quill
