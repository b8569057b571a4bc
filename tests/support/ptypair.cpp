// SPDX-License-Identifier: MIT
#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace quill::test {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        return;
    }
    m_slavePath = ::ptsname(m_master);
    // The master passes bytes through untouched, XON and XOFF included.
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        uint8_t buffer[4096];
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(reinterpret_cast<const char*>(buffer), count);
            if (m_onRead) {
                m_onRead({buffer, static_cast<size_t>(count)});
            }
        }
    });
}

PtyPair::~PtyPair() {
    closeMaster();
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

termios PtyPair::slaveTermios() const {
    termios state{};
    ::tcgetattr(m_slave, &state);
    return state;
}

bool PtyPair::writeMaster(const QByteArray& bytes) {
    return writeMaster(
        {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())});
}

bool PtyPair::writeMaster(std::span<const uint8_t> bytes) {
    return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void PtyPair::closeMaster() {
    m_notifier.reset();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    QTimer wake; // ends each wait below at the deadline at the latest
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            return false;
        }
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runEventsFor(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

} // namespace quill::test
