// SPDX-License-Identifier: MIT
#pragma once
// The event queue of the thread that builds it: calls are queued on Qt's
// event loop and die with this object.

#include "platform/eventqueue.h"

#include <QObject>

namespace quill {

class QtEventQueue final : public EventQueue {
  public:
    void post(std::function<void()> call) override {
        QMetaObject::invokeMethod(&m_context, std::move(call), Qt::QueuedConnection);
    }
    // What the queued calls run on: this thread's loop.
    QObject& context() { return m_context; }

  private:
    QObject m_context;
};

} // namespace quill
