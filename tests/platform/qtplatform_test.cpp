// SPDX-License-Identifier: MIT
// The Qt implementations, under one QCoreApplication: the serial control on
// a pseudo-terminal whose master side the test plays as the device; the
// timer, real and with short intervals (the checks allow for a loaded
// machine firing late, never early); the settings store in a scratch file.

#include "ptypair.h"
#include "qt/portnames.h"
#include "qt/qtmscomm.h"
#include "qt/qtsettingsstore.h"
#include "qt/qttimer.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>
#include <poll.h>

namespace quill {
namespace {

using test::runEventsFor;
using test::waitFor;

std::span<const uint8_t> bytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

// COM1 is the pty's slave, open at 9600 mark parity; the fixture is the
// control's event sink and records each receive batch.
class QtMSCommTest : public ::testing::Test, public MSCommEvents {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        m_comm.setEventSink(this);
        ASSERT_EQ(m_comm.setSettings("9600,M,8,1"), std::nullopt);
        const PortStatus status = m_comm.setPortOpen(true);
        ASSERT_EQ(status, std::nullopt) << status->text;
    }
    void MSComm1_OnComm() override {
        m_events.push_back(m_comm.commEvent());
        const auto bytes = m_comm.input();
        m_batches.append(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<qsizetype>(bytes.size())));
        if (m_onReceive) {
            m_onReceive();
        }
    }
    void onPortLost(const PortError& error) override { m_losses.push_back(error); }

    test::PtyPair m_pty;
    QtMSComm m_comm{[this](int16_t port) { return port == 1 ? m_pty.slavePath() : std::string{}; }};
    std::vector<int16_t> m_events;
    QByteArrayList m_batches;
    std::vector<PortError> m_losses;
    std::function<void()> m_onReceive;
};

TEST_F(QtMSCommTest, EveryByteCrossesTheLineUntouchedBothWaysInBatches) {
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        all.append(static_cast<char>(value)); // XON 0x11 and XOFF 0x13 among them
    }
    ASSERT_EQ(m_comm.output(bytesOf(all)), std::nullopt);
    EXPECT_TRUE(waitFor([&] { return m_pty.received().size() >= all.size(); }, 2000));
    EXPECT_EQ(m_pty.received(), all);

    // A driver doing XON/XOFF flow control would swallow these on the way in.
    ASSERT_TRUE(m_pty.writeMaster(all));
    EXPECT_TRUE(waitFor([&] { return m_batches.join().size() >= all.size(); }, 2000));
    EXPECT_EQ(m_batches.join(), all);
    EXPECT_EQ(m_events, std::vector<int16_t>(m_batches.size(), comEvReceive));

    // What one read brings comes as one event, and Input empties the buffer.
    m_events.clear();
    m_batches.clear();
    ASSERT_TRUE(m_pty.writeMaster(QByteArray("\x13\x11\x06", 3)));
    EXPECT_TRUE(waitFor([&] { return !m_events.empty(); }, 2000));
    runEventsFor(50); // nothing more may follow
    EXPECT_EQ(m_events, std::vector<int16_t>{comEvReceive});
    EXPECT_EQ(m_batches, QByteArrayList{QByteArray("\x13\x11\x06", 3)});
    EXPECT_TRUE(m_comm.input().empty());
}

// What the device said before the download's first message is thrown away
// when that message goes out, not taken as its answer: whether it still
// waits in the terminal's queue, or QSerialPort has read it and its receive
// event has not come yet.
TEST_F(QtMSCommTest, InBufferCountZeroThrowsAwayWhatWasReceivedBefore) {
    const auto unread = [&](int timeoutMs) {
        pollfd waiting{m_pty.slaveFd(), POLLIN, 0};
        return ::poll(&waiting, 1, timeoutMs) == 1;
    };
    for (const bool readByQt : {false, true}) {
        SCOPED_TRACE(readByQt ? "read by QSerialPort" : "in the terminal's queue");
        m_batches.clear();
        m_comm.setEventSink(readByQt ? nullptr : this); // no sink: nothing is handed on
        ASSERT_TRUE(m_pty.writeMaster(QByteArray("\x13\x11", 2)));
        ASSERT_TRUE(unread(2000));
        if (readByQt) {
            ASSERT_TRUE(waitFor([&] { return !unread(0); }, 2000));
        }
        m_comm.setEventSink(this);
        m_comm.setInBufferCount(0);
        ASSERT_TRUE(m_pty.writeMaster(QByteArray("\x06", 1)));
        EXPECT_TRUE(waitFor([&] { return !m_batches.empty(); }, 2000));
        runEventsFor(50);
        EXPECT_EQ(m_batches.join(), QByteArray("\x06", 1));
    }
}

// Qt's own loop (a message box's exec()), and one that runs Qt's timers and
// socket notifiers but not its dispatcher's signals (a native dialog's).
TEST_F(QtMSCommTest, AModalLoopInsideTheReceiveHandlerStillReceives) {
    for (const bool foreign : {false, true}) {
        SCOPED_TRACE(foreign ? "not Qt's loop" : "Qt's loop");
        m_batches.clear();
        QEventLoop modal;
        m_onReceive = [&] {
            if (modal.isRunning()) {
                modal.quit();
                return;
            }
            QTimer::singleShot(2000, &modal, &QEventLoop::quit);
            m_pty.writeMaster("\x11");
            QAbstractEventDispatcher::instance()->blockSignals(foreign);
            modal.exec();
            QAbstractEventDispatcher::instance()->blockSignals(false);
        };
        ASSERT_TRUE(m_pty.writeMaster("\x13"));
        EXPECT_TRUE(waitFor([&] { return m_batches.size() >= 2; }, 3000));
        EXPECT_EQ(m_batches, (QByteArrayList{"\x13", "\x11"}));
    }
}

// Each line configuration as the driver is asked for it is the line
// layer's (serialline_test); here a change reaches the open port: 38400
// from 9600, and mark to even, so CMSPAR must go (a pty never shows PARENB).
TEST_F(QtMSCommTest, LineConfigurationReachesTheOpenPort) {
    const PortStatus status = m_comm.setSettings("38400,E,8,1");
    ASSERT_EQ(status, std::nullopt) << status->text;
    EXPECT_EQ(m_comm.settings(), "38400,E,8,1");
    const termios line = m_pty.slaveTermios();
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), 0u);
    EXPECT_EQ(cfgetospeed(&line), B38400);
    // Bad or empty texts keep the configuration.
    const PortStatus bad = m_comm.setSettings("9600,X,8,1");
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(bad->kind, PortErrorKind::BadSettings);
    EXPECT_NE(bad->text.find("\"9600,X,8,1\""), std::string::npos) << bad->text;
    EXPECT_EQ(m_comm.setSettings(""), std::nullopt);
    EXPECT_EQ(m_comm.settings(), "38400,E,8,1");
    const termios kept = m_pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&kept), B38400);
}

TEST_F(QtMSCommTest, LostPortIsReportedOnceAndClosed) {
    ASSERT_EQ(m_comm.output(bytesOf(":01000000FF00\r\n")), std::nullopt);
    ASSERT_TRUE(m_pty.writeMaster("\x13"));
    ASSERT_TRUE(waitFor([&] { return !m_events.empty(); }, 2000));
    const std::size_t eventsBefore = m_events.size();

    m_pty.closeMaster(); // the adapter is pulled out mid-download
    EXPECT_TRUE(waitFor([&] { return !m_losses.empty(); }, 2000));
    const std::clock_t cpuBefore = std::clock();
    runEventsFor(300);
    EXPECT_LT(std::clock() - cpuBefore, CLOCKS_PER_SEC / 10)
        << "the event loop spins after the loss";

    ASSERT_EQ(m_losses.size(), 1u);
    EXPECT_EQ(m_losses[0].kind, PortErrorKind::Lost);
    EXPECT_NE(m_losses[0].text.find("COM1 (" + m_pty.slavePath() + ")"), std::string::npos);
    EXPECT_EQ(m_events.size(), eventsBefore);
    EXPECT_FALSE(m_comm.portOpen());
}

TEST(QtTimerTest, EnablingAgainOrSettingTheIntervalStartsAFreshCountdown) {
    QtTimer timer;
    QElapsedTimer clock;
    qint64 firedAt = -1;
    qint64 rearmedAt = -1;
    int fired = 0;
    timer.setHandler([&] {
        ++fired;
        timer.setEnabled(false); // as the download's handler does: no second expiry
        firedAt = clock.elapsed();
    });
    for (const bool viaInterval : {false, true}) {
        SCOPED_TRACE(viaInterval ? "setInterval" : "setEnabled");
        firedAt = rearmedAt = -1;
        timer.setInterval(300);
        clock.start();
        timer.setEnabled(true);
        QTimer::singleShot(100, Qt::PreciseTimer, [&] {
            rearmedAt = clock.elapsed();
            viaInterval ? timer.setInterval(300) : timer.setEnabled(true);
        });
        EXPECT_TRUE(waitFor([&] { return firedAt >= 0; }, 3000));
        ASSERT_GE(rearmedAt, 0);
        EXPECT_GE(firedAt, rearmedAt + 300);
    }
    runEventsFor(400);
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(timer.enabled());
}

TEST(QtSettingsStoreTest, KeepsTextsBetweenInstancesAndNamesThePorts) {
    QTemporaryDir dir;
    const std::string ini = dir.filePath(QStringLiteral("Quill.ini")).toStdString();
    {
        QtSettingsStore store(ini);
        store.SaveSetting("Port", "COM", "3");
        store.SaveSetting("Port", "BAUD", "38400");
        store.SaveSetting("PortNames", "COM1", "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    }
    QtSettingsStore reopened(ini);
    EXPECT_EQ(reopened.GetSetting("Port", "COM"), "3");
    EXPECT_EQ(reopened.GetSetting("PortNames", "COM1"), "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    EXPECT_EQ(reopened.GetSetting("Option", "DEVICE"), ""); // absent
    EXPECT_EQ(reopened.GetSetting("Other", "COM"), "");     // only in another section

    QFile file(QString::fromStdString(ini));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Port]\nBAUD=38400\nCOM=3\n")) << text.constData();

    // The PortNames section overrides the serial devices; read at each call.
    const PortResolver resolve = defaultPortResolver(reopened);
    EXPECT_EQ(resolve(1), "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    EXPECT_EQ(resolve(3), "/dev/ttyS2");
    EXPECT_EQ(resolve(0), "");
    reopened.SaveSetting("PortNames", "COM4", "/dev/pts/7");
    EXPECT_EQ(resolve(4), "/dev/pts/7");

    // It may name a history with its password: the user's alone. A link in
    // its place is never written through.
    EXPECT_EQ(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::string other = dir.filePath(QStringLiteral("other")).toStdString();
    QFile::rename(QString::fromStdString(ini), QString::fromStdString(other));
    QFile::link(QString::fromStdString(other), QString::fromStdString(ini));
    QtSettingsStore linked(ini);
    linked.SaveSetting("History", "URL", "postgresql://quill:pw@db/q");
    EXPECT_EQ(linked.GetSetting("History", "URL"), "");
    QFile target(QString::fromStdString(other));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_FALSE(target.readAll().contains("History"));
}

} // namespace
} // namespace quill
