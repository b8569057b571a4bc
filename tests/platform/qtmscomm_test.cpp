// The serial control on a pseudo-terminal: the test plays the device on
// the master side.

#include "platform/qt/qtmscomm.h"

#include "platform/qt/ttyline.h"
#include "ptypair.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace quill {
namespace {

using test::PtyPair;
using test::runEventsFor;
using test::waitFor;

struct RecordingSink : MSCommEvents {
    explicit RecordingSink(MSComm& comm) : comm(comm) {}

    void MSComm1_OnComm() override {
        events.push_back(comm.commEvent());
        const auto bytes = comm.input();
        batches.emplace_back(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(bytes.size()));
        if (onReceive) {
            onReceive();
        }
    }
    void onPortLost(const PortError& error) override { losses.push_back(error); }
    QByteArray allReceived() const {
        QByteArray bytes;
        for (const auto& batch : batches) {
            bytes.append(batch);
        }
        return bytes;
    }

    MSComm& comm;
    std::vector<int16_t> events;
    std::vector<QByteArray> batches;
    std::vector<PortError> losses;
    std::function<void()> onReceive;
};

std::span<const uint8_t> bytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class QtMSCommTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        m_comm.setEventSink(&m_sink);
        m_comm.setCommPort(1);
    }

    void open(const std::string& settings) {
        ASSERT_EQ(m_comm.setSettings(settings), std::nullopt);
        const PortStatus status = m_comm.setPortOpen(true);
        ASSERT_EQ(status, std::nullopt) << status->text;
    }

    PtyPair m_pty;
    QtMSComm m_comm{[this](int16_t port) { return port == 1 ? m_pty.slavePath() : std::string{}; }};
    RecordingSink m_sink{m_comm};
};

TEST_F(QtMSCommTest, EveryByteCrossesTheLineUntouchedBothWays) {
    open("9600,M,8,1");
    EXPECT_EQ(m_comm.portDisplayName(), "COM1 (" + m_pty.slavePath() + ")");
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        all.append(static_cast<char>(value)); // XON 0x11 and XOFF 0x13 among them
    }
    ASSERT_EQ(m_comm.output(bytesOf(all)), std::nullopt);
    EXPECT_TRUE(waitFor([&] { return m_pty.received().size() >= all.size(); }, 2000));
    EXPECT_EQ(m_pty.received(), all);

    // A driver doing XON/XOFF flow control would swallow these on the way in.
    m_pty.writeMaster(all);
    EXPECT_TRUE(waitFor([&] { return m_sink.allReceived().size() >= all.size(); }, 2000));
    EXPECT_EQ(m_sink.allReceived(), all);
    EXPECT_EQ(m_sink.events, std::vector<int16_t>(m_sink.batches.size(), comEvReceive));
}

TEST_F(QtMSCommTest, ReceivedBytesComeAsOneBatchPerNotification) {
    open("9600,M,8,1");
    m_pty.writeMaster(QByteArray("\x13\x11\x06", 3));
    EXPECT_TRUE(waitFor([&] { return !m_sink.events.empty(); }, 2000));
    runEventsFor(50); // nothing more may follow
    EXPECT_EQ(m_sink.events, std::vector<int16_t>{comEvReceive});
    ASSERT_EQ(m_sink.batches.size(), 1u);
    EXPECT_EQ(m_sink.batches[0], QByteArray("\x13\x11\x06", 3));
    EXPECT_TRUE(m_comm.input().empty());
}

TEST_F(QtMSCommTest, AModalLoopInsideTheReceiveHandlerStillReceives) {
    open("9600,E,8,1");
    bool nestedSawBytes = false;
    QEventLoop modal; // as a message box's exec() would run
    m_sink.onReceive = [&] {
        if (modal.isRunning()) {
            nestedSawBytes = true;
            modal.quit();
            return;
        }
        QTimer::singleShot(2000, &modal, &QEventLoop::quit);
        m_pty.writeMaster("\x11");
        modal.exec();
    };
    m_pty.writeMaster("\x13");
    EXPECT_TRUE(waitFor([&] { return m_sink.batches.size() >= 2; }, 3000));
    EXPECT_TRUE(nestedSawBytes);
    ASSERT_EQ(m_sink.batches.size(), 2u);
    EXPECT_EQ(m_sink.batches[0], "\x13");
    EXPECT_EQ(m_sink.batches[1], "\x11");
}

struct LineCase {
    const char* settings;
    speed_t speed;
    tcflag_t parityBits; // of PARODD | CMSPAR; a pty never shows PARENB
    bool twoStopBits;
};

TEST_F(QtMSCommTest, LineConfigurationReachesTheOpenPort) {
    open("9600,N,8,1");
    const LineCase cases[] = {
        {"9600,M,8,1", B9600, PARODD | CMSPAR, false},
        {"9600,E,8,1", B9600, 0, false}, // mark to even at the same rate: CMSPAR must go
        {"38400,M,8,1", B38400, PARODD | CMSPAR, false},
        {"38400,E,8,1", B38400, 0, false},
        {"9600,S,8,1", B9600, CMSPAR, false},
        {"9600,O,8,1", B9600, PARODD, false},
        {"9600,n,8,2", B9600, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        const PortStatus status = m_comm.setSettings(c.settings);
        ASSERT_EQ(status, std::nullopt) << status->text;
        EXPECT_EQ(m_comm.settings(), c.settings);
        const termios line = m_pty.slaveTermios();
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), c.parityBits);
        EXPECT_EQ(cfgetospeed(&line), c.speed);
        EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStopBits);
    }
}

TEST_F(QtMSCommTest, SettingsGivenWhileClosedApplyAtTheNextOpen) {
    open("38400,M,8,1");
    termios line = m_pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&line), B38400);
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), PARODD | CMSPAR);

    ASSERT_EQ(m_comm.setPortOpen(false), std::nullopt);
    EXPECT_FALSE(m_comm.portOpen());
    ASSERT_EQ(m_comm.setSettings("9600,E,8,1"), std::nullopt);
    ASSERT_EQ(m_comm.setPortOpen(true), std::nullopt);
    line = m_pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), 0u);
    ASSERT_EQ(m_comm.output(bytesOf("ok")), std::nullopt);
    EXPECT_TRUE(waitFor([&] { return m_pty.received() == "ok"; }, 2000));
}

TEST_F(QtMSCommTest, BadOrEmptySettingsKeepTheConfiguration) {
    open("9600,M,8,1");
    const PortStatus bad = m_comm.setSettings("9600,X,8,1");
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(bad->kind, PortErrorKind::BadSettings);
    EXPECT_NE(bad->text.find("\"9600,X,8,1\""), std::string::npos) << bad->text;
    EXPECT_EQ(m_comm.setSettings(""), std::nullopt);
    EXPECT_EQ(m_comm.settings(), "9600,M,8,1");
    EXPECT_EQ(m_pty.slaveTermios().c_cflag & (PARODD | CMSPAR), PARODD | CMSPAR);
}

TEST_F(QtMSCommTest, LostPortIsReportedOnceAndClosed) {
    open("9600,M,8,1");
    ASSERT_EQ(m_comm.output(bytesOf(":01000000FF00\r\n")), std::nullopt);
    m_pty.writeMaster("\x13");
    ASSERT_TRUE(waitFor([&] { return !m_sink.events.empty(); }, 2000));
    const std::size_t eventsBefore = m_sink.events.size();

    m_pty.closeMaster(); // the adapter is pulled out mid-download
    EXPECT_TRUE(waitFor([&] { return !m_sink.losses.empty(); }, 2000));
    const double cpuBefore = cpuSeconds();
    runEventsFor(300);
    const double cpuUsed = cpuSeconds() - cpuBefore;

    ASSERT_EQ(m_sink.losses.size(), 1u);
    EXPECT_EQ(m_sink.losses[0].kind, PortErrorKind::Lost);
    EXPECT_NE(m_sink.losses[0].text.find("COM1 (" + m_pty.slavePath() + ")"), std::string::npos);
    EXPECT_EQ(m_sink.events.size(), eventsBefore);
    EXPECT_FALSE(m_comm.portOpen());
    EXPECT_LT(cpuUsed, 0.1) << "the event loop keeps spinning after the loss";
    const PortStatus write = m_comm.output(bytesOf("x"));
    ASSERT_TRUE(write.has_value());
    EXPECT_EQ(write->kind, PortErrorKind::NotOpen);
}

TEST_F(QtMSCommTest, OpenErrorsNameThePortAndTheCause) {
    QtMSComm missing([](int16_t) { return std::string("/dev/quill-no-such-port"); });
    PortStatus status = missing.setPortOpen(true);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->kind, PortErrorKind::NotFound);
    EXPECT_NE(status->text.find("COM1 (/dev/quill-no-such-port)"), std::string::npos);
    EXPECT_FALSE(missing.portOpen());

    open("9600,M,8,1");
    QtMSComm second([this](int16_t) { return m_pty.slavePath(); });
    status = second.setPortOpen(true);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->kind, PortErrorKind::Busy) << status->text;
    EXPECT_NE(status->text.find(m_pty.slavePath()), std::string::npos);

    ASSERT_EQ(m_comm.setPortOpen(false), std::nullopt);
    status = m_comm.output(bytesOf("x"));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->kind, PortErrorKind::NotOpen);
}

// A pseudo-terminal drops PARENB as an adapter that cannot do a parity
// would: on a real port that must be an error, never silence.
TEST(TtyLineTest, ADriverThatDropsTheParityIsReportedOnARealPort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    EXPECT_TRUE(isPseudoTerminal(pty.slaveFd(), "/tmp/link-to-a-pty"));
    const std::optional<LineProblem> mark =
        applyTtyLine(pty.slaveFd(), {9600, Parity::Mark, 8, StopBits::One}, false);
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->setting, "mark parity");

    EXPECT_EQ(applyTtyLine(pty.slaveFd(), {9600, Parity::Mark, 8, StopBits::One}, true),
              std::nullopt);
    const std::optional<LineProblem> oneAndHalf =
        applyTtyLine(pty.slaveFd(), {9600, Parity::None, 8, StopBits::OneAndHalf}, true);
    ASSERT_TRUE(oneAndHalf.has_value());
    EXPECT_EQ(oneAndHalf->setting, "1.5 stop bits with 8 data bits");

    const int null = ::open("/dev/null", O_RDWR);
    EXPECT_FALSE(isPseudoTerminal(null, "/dev/null"));
    ::close(null);
}

} // namespace
} // namespace quill
