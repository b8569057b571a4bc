// SPDX-License-Identifier: MIT
#pragma once
// What the trace decorators share: the clock, the observer, and the last
// cstate seen. cstate has no setter to watch, so it is compared with the
// last value seen at every call that passes through a decorator and before
// and after every event a decorator delivers to the engine. A state that is
// left again before the next such call is not reported on its own: when the
// device answers the erase request with XOFF and XON in one batch, the trace
// goes from cs_flash_erase straight to cs_programming.

#include "platform/wiretrace.h"
#include "shared/module1.h"

#include <span>
#include <string_view>

namespace quill {

class TraceTap {
  public:
    TraceTap(const Module1& m, TraceClock clock, WireTrace& observer)
        : m_m(m), m_clock(std::move(clock)), m_observer(observer), m_last(m.cstate) {}
    TraceTap(const TraceTap&) = delete;
    TraceTap& operator=(const TraceTap&) = delete;

    // Reports a change of cstate since the last look, if any.
    void checkState() {
        if (m_m.cstate != m_last) {
            m_last = m_m.cstate;
            m_observer.onTraceEvent({.kind = TraceKind::State, .atUs = m_clock(), .value = m_last});
        }
    }

    // Reports an event, after any change of cstate that came before it.
    void report(TraceKind kind, std::span<const uint8_t> bytes = {}, std::string_view text = {},
                int32_t value = 0) {
        checkState();
        m_observer.onTraceEvent(
            {.kind = kind, .atUs = m_clock(), .bytes = bytes, .text = text, .value = value});
    }

  private:
    const Module1& m_m;
    TraceClock m_clock;
    WireTrace& m_observer;
    int16_t m_last;
};

} // namespace quill
