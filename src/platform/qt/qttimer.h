// SPDX-License-Identifier: MIT
#pragma once
// The supervision timer Timer1 over a QTimer.

#include "platform/timer.h"

#include <QTimer>

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
    void restart();

    std::function<void()> m_onExpiry;
    int m_interval = 0;
    bool m_enabled = false;
    QTimer m_timer;
};

} // namespace quill
