// SPDX-License-Identifier: MIT
#pragma once
// Timer1 with a trace: calls pass through unchanged; a countdown started,
// stopped or run out is reported, and cstate is looked at before and after
// the expiry handler.

#include "platform/timer.h"
#include "trace/tracetap.h"

namespace quill {

class TracedTimer final : public Timer {
  public:
    TracedTimer(Timer& inner, TraceTap& tap) : m_inner(inner), m_tap(tap) {}
    ~TracedTimer() override;
    TracedTimer(const TracedTimer&) = delete;
    TracedTimer& operator=(const TracedTimer&) = delete;

    void setHandler(std::function<void()> onExpiry) override;
    void setInterval(int milliseconds) override;
    int interval() const override;
    void setEnabled(bool enabled) override;
    bool enabled() const override;

  private:
    void expired();
    bool running() const { return m_inner.enabled() && m_inner.interval() > 0; }

    Timer& m_inner;
    TraceTap& m_tap;
    std::function<void()> m_handler;
};

} // namespace quill
