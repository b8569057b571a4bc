// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal for the tests that drive a real serial port under Qt's
// event loop: the program under test opens the slave, the test plays the
// device on the master, whose output is read as it comes.

#include "pty/pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <unistd.h>

namespace quill::test {

class PtyPair {
  public:
    PtyPair() {
        std::string error;
        m_pty = pty::Pty::open(error);
        if (m_pty) {
            m_notifier = std::make_unique<QSocketNotifier>(m_pty->master(), QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { read(); });
        }
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_pty.has_value(); }
    const pty::Pty& pty() const { return *m_pty; }
    const std::string& slavePath() const { return m_pty->slavePath(); }
    int slaveFd() const { return m_pty->slave(); }
    termios slaveTermios() const { return m_pty->line(); }

    bool writeMaster(const QByteArray& bytes) {
        return writeMaster({reinterpret_cast<const uint8_t*>(bytes.constData()),
                            static_cast<size_t>(bytes.size())});
    }
    bool writeMaster(std::span<const uint8_t> bytes) { return m_pty->write(bytes); }
    // What the master has read so far; filled while the event loop runs,
    // each chunk also handed to the handler if one is set.
    const QByteArray& received() const { return m_received; }
    using ReadHandler = std::function<void(std::span<const uint8_t> chunk)>;
    void setReadHandler(ReadHandler handler) { m_onRead = std::move(handler); }
    // The device side goes away: the slave is hung up.
    void closeMaster() {
        m_notifier.reset();
        if (m_pty) {
            m_pty->hangUp();
        }
    }

  private:
    void read() {
        uint8_t buffer[4096];
        const ssize_t count = ::read(m_pty->master(), buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(reinterpret_cast<const char*>(buffer), count);
            if (m_onRead) {
                m_onRead({buffer, static_cast<size_t>(count)});
            }
        }
    }

    std::optional<pty::Pty> m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_received;
    ReadHandler m_onRead;
};

// Runs the event loop until done() holds or timeoutMs have passed; the
// result of done() at the end.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    QTimer wake; // ends each wait below at the deadline at the latest
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done() && deadline.remainingTime() > 0) {
        wake.start(static_cast<int>(deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

// Runs the event loop for a bounded window, to count what happens in it.
inline void runEventsFor(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

} // namespace quill::test
