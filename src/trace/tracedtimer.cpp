// SPDX-License-Identifier: MIT
#include "trace/tracedtimer.h"

namespace quill {

TracedTimer::~TracedTimer() {
    if (m_handler) {
        m_inner.setHandler({});
    }
}

void TracedTimer::setHandler(std::function<void()> onExpiry) {
    m_handler = std::move(onExpiry);
    if (m_handler) {
        m_inner.setHandler([this] { expired(); });
    } else {
        m_inner.setHandler({});
    }
}

// Setting the interval of an enabled timer starts a fresh countdown (or,
// at 0, stops it).
void TracedTimer::setInterval(int milliseconds) {
    m_tap.checkState();
    const bool wasRunning = running();
    m_inner.setInterval(milliseconds);
    if (running()) {
        m_tap.report(TraceKind::TimerArmed, {}, {}, milliseconds);
    } else if (wasRunning) {
        m_tap.report(TraceKind::TimerStopped);
    }
}

int TracedTimer::interval() const {
    m_tap.checkState();
    return m_inner.interval();
}

// Enabling starts a fresh countdown, even on a running timer; disabling a
// timer that is not counting down is no event.
void TracedTimer::setEnabled(bool enabled) {
    m_tap.checkState();
    const bool wasRunning = running();
    m_inner.setEnabled(enabled);
    if (running()) {
        m_tap.report(TraceKind::TimerArmed, {}, {}, m_inner.interval());
    } else if (wasRunning) {
        m_tap.report(TraceKind::TimerStopped);
    }
}

bool TracedTimer::enabled() const {
    m_tap.checkState();
    return m_inner.enabled();
}

void TracedTimer::expired() {
    m_tap.report(TraceKind::TimerExpired);
    if (m_handler) {
        m_handler();
    }
    m_tap.checkState();
}

} // namespace quill
