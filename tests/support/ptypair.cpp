// SPDX-License-Identifier: MIT
#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <unistd.h>

namespace quill::test {

PtyPair::PtyPair() {
    std::string error;
    m_pty = pty::Pty::open(error);
    if (!m_pty) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_pty->master(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        uint8_t buffer[4096];
        const ssize_t count = ::read(m_pty->master(), buffer, sizeof buffer);
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
}

bool PtyPair::writeMaster(const QByteArray& bytes) {
    return writeMaster(
        {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())});
}

void PtyPair::closeMaster() {
    m_notifier.reset();
    if (m_pty) {
        m_pty->hangUp();
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
