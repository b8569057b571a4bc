// SPDX-License-Identifier: MIT
#pragma once
// The lock of the window program for one session: an engineer's password
// unlocks it until the program ends (quill-cli is never unlocked). Wrong
// passwords slow down: each doubles the wait before the next try is taken,
// 1 s after the first, up to 30 s. Times are milliseconds of a steady
// clock, given by the caller.

#include "lock/lockstate.h"

#include <cstdint>

namespace quill {

class UnlockThrottle {
  public:
    static constexpr int64_t firstWaitMs = 1000;
    static constexpr int64_t longestWaitMs = 30'000;

    // How long until a try is taken; 0: now.
    int64_t waitMs(int64_t nowMs) const { return nowMs < m_until ? m_until - nowMs : 0; }
    void failed(int64_t nowMs);
    void succeeded() { m_wait = 0; }

  private:
    int64_t m_wait = 0; // the last wait
    int64_t m_until = 0;
};

class WindowLock {
  public:
    explicit WindowLock(LockState state) : m_state(std::move(state)) {}

    const LockState& state() const { return m_state; }
    std::optional<std::string> refusal(const RunRequest& request) const {
        return lockRefusal(m_state, request);
    }
    // Locked, and not unlocked this session.
    bool closed() const { return m_state.locked && !m_state.unlocked; }

    enum class Try { Unlocked, Wrong, Waiting, Ready, NotLocked, NoHash, Malformed };
    // A try while the throttle waits is not looked at.
    Try tryUnlock(const std::string& password, int64_t nowMs);
    // What a try would meet before any password is looked at: NotLocked,
    // NoHash, Malformed, or Ready.
    Try ready() const;
    int64_t waitMs(int64_t nowMs) const { return m_throttle.waitMs(nowMs); }

  private:
    LockState m_state;
    UnlockThrottle m_throttle;
};

} // namespace quill
