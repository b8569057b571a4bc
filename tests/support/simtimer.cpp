// SPDX-License-Identifier: MIT
#include "simtimer.h"

namespace quill::sim {

void SimTimer::setInterval(int milliseconds) {
    m_interval = milliseconds;
    restart();
}

void SimTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    restart();
}

void SimTimer::restart() {
    m_loop.cancel(m_pending);
    m_pending = 0;
    if (!m_enabled || m_interval <= 0) {
        return;
    }
    m_pending = m_loop.schedule(m_interval, [this] {
        restart(); // it repeats until disabled
        if (m_handler) {
            m_handler();
        }
    });
}

} // namespace quill::sim
