// SPDX-License-Identifier: MIT
#pragma once
// The supervision timer Timer1 over a QTimer.
//
// The download arms its timer for every record and stops it again at the
// device's answer, and the run restarts its idle limit at every byte: each
// of those would unregister and register a timer with the event loop. So a
// countdown is only a deadline; the QTimer wakes at the earliest deadline
// it may have to meet, and, when it finds the countdown moved on since or
// stopped, waits again or stays quiet.

#include "platform/timer.h"

#include <QTimer>

#include <chrono>

namespace quill {

class QtTimer final : public Timer {
  public:
    QtTimer();
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void setHandler(std::function<void()> onExpiry) override { m_onExpiry = std::move(onExpiry); }
    void setInterval(int milliseconds) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_enabled; }

  private:
    using Clock = std::chrono::steady_clock;

    void restart();
    void wakeAt(Clock::time_point when);
    void woken();

    std::function<void()> m_onExpiry;
    int m_interval = 0;
    bool m_enabled = false;
    Clock::time_point m_deadline{}; // the countdown runs out
    Clock::time_point m_wakeAt{};   // m_timer fires, while it is active
    QTimer m_timer;
};

} // namespace quill
