// SPDX-License-Identifier: MIT
#pragma once
// The event loop seen from the core: a call posted now runs from the loop,
// after what is already queued, once the handler running now (and any
// sequence it is part of) has returned. Calls still queued when the queue
// goes away are dropped.

#include <functional>

namespace quill {

class EventQueue {
  public:
    virtual ~EventQueue() = default;
    virtual void post(std::function<void()> call) = 0;
};

} // namespace quill
