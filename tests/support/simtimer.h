// SPDX-License-Identifier: MIT
#pragma once
// Timer1 on the simulated clock: it repeats until disabled.

#include "platform/timer.h"
#include "simloop.h"

namespace quill::sim {

class SimTimer final : public Timer {
  public:
    explicit SimTimer(SimLoop& loop) : m_loop(loop) {}
    ~SimTimer() override { m_loop.cancel(m_pending); }

    void setHandler(std::function<void()> onExpiry) override { m_handler = std::move(onExpiry); }
    void setInterval(int milliseconds) override { restart(milliseconds, m_enabled); }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override { restart(m_interval, enabled); }
    bool enabled() const override { return m_enabled; }

  private:
    void restart(int interval, bool enabled) {
        m_interval = interval;
        m_enabled = enabled;
        m_loop.cancel(m_pending);
        if (m_enabled && m_interval > 0) {
            m_pending = m_loop.schedule(m_interval, [this] {
                restart(m_interval, m_enabled);
                if (m_handler) {
                    m_handler();
                }
            });
        }
    }

    SimLoop& m_loop;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_enabled = true; // as placed on the window: enabled, interval 0
    uint64_t m_pending = 0;
};

} // namespace quill::sim
