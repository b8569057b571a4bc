// SPDX-License-Identifier: MIT
#pragma once
// The one supervision timer. An interval of 0 never fires. Enabling it, or
// setting its interval while it is enabled, starts a fresh countdown; it
// fires every interval until it is disabled (the download uses it as a
// one-shot: its handler disables it first).

#include <functional>

namespace quill {

class Timer {
  public:
    virtual ~Timer() = default;
    virtual void setHandler(std::function<void()> onExpiry) = 0;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
};

} // namespace quill
