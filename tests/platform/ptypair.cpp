#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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
        char buffer[512];
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(buffer, count);
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

void PtyPair::writeMaster(const QByteArray& bytes) {
    ASSERT_EQ(::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size())
        << std::strerror(errno);
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
