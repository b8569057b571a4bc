// SPDX-License-Identifier: MIT
#include "platform/qt/qttimer.h"

namespace quill {

QtTimer::QtTimer() {
    // The download's timeouts are short (500 ms); a coarse timer may be 5 % late.
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (m_onExpiry) {
            m_onExpiry();
        }
    });
}

void QtTimer::setInterval(int milliseconds) {
    m_interval = milliseconds;
    if (m_enabled) {
        restart();
    }
}

void QtTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (enabled) {
        restart();
    } else {
        m_timer.stop();
    }
}

void QtTimer::restart() {
    // An interval of 0 (or less) never fires, although the timer stays enabled.
    if (m_interval > 0) {
        m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}

} // namespace quill
