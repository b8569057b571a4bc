// SPDX-License-Identifier: MIT
#include "qt/qttimer.h"

#include <algorithm>

namespace quill {

QtTimer::QtTimer() {
    // The download's timeouts are short (500 ms); a coarse timer may be 5 % late.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { woken(); });
}

void QtTimer::setInterval(int milliseconds) {
    m_interval = milliseconds;
    if (m_enabled) {
        restart();
    }
}

// Disabling leaves the QTimer as it is: when it fires, it finds nothing to do.
void QtTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (enabled) {
        restart();
    }
}

void QtTimer::restart() {
    // An interval of 0 (or less) never fires, although the timer stays enabled.
    if (m_interval <= 0) {
        m_timer.stop();
        return;
    }
    m_deadline = Clock::now() + std::chrono::milliseconds(m_interval);
    if (!m_timer.isActive() || m_deadline < m_wakeAt) {
        wakeAt(m_deadline);
    }
}

// Never before `when`: the QTimer counts whole milliseconds from its start.
void QtTimer::wakeAt(Clock::time_point when) {
    const Clock::time_point now = Clock::now();
    const auto left = std::max(std::chrono::milliseconds(0),
                               std::chrono::ceil<std::chrono::milliseconds>(when - now));
    m_wakeAt = now + left;
    m_timer.start(left);
}

void QtTimer::woken() {
    if (!m_enabled || m_interval <= 0) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now < m_deadline) {
        wakeAt(m_deadline); // restarted since this wake-up was set
        return;
    }
    // It fires every interval until it is disabled; the handler may do that.
    m_deadline = now + std::chrono::milliseconds(m_interval);
    wakeAt(m_deadline);
    if (m_onExpiry) {
        m_onExpiry();
    }
}

} // namespace quill
