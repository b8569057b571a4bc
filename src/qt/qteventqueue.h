// SPDX-License-Identifier: MIT
#pragma once
// The event queue of the thread that builds it: calls are queued on Qt's
// event loop and die with this object. Any thread may post to it.

#include "platform/eventqueue.h"
#include "qt/handover.h"

namespace quill {

class QtEventQueue final : public EventQueue {
  public:
    void post(std::function<void()> call) override { m_context.post(std::move(call)); }
    // What the queued calls run on: this thread's loop.
    Inbox& context() { return m_context; }

  private:
    Inbox m_context;
};

} // namespace quill
