// SPDX-License-Identifier: MIT
#include "lock/windowlock.h"

#include "lock/unlockhash.h"

#include <algorithm>

namespace quill {

void UnlockThrottle::failed(int64_t nowMs) {
    m_wait = m_wait == 0 ? firstWaitMs : std::min(2 * m_wait, longestWaitMs);
    m_until = nowMs + m_wait;
}

WindowLock::Try WindowLock::ready() const {
    if (!m_state.locked || m_state.unlocked) {
        return Try::NotLocked;
    }
    if (m_state.unlockHash.empty() || m_state.fixed.unreadable) {
        return Try::NoHash;
    }
    return wellFormedUnlockHash(m_state.unlockHash) ? Try::Ready : Try::Malformed;
}

WindowLock::Try WindowLock::tryUnlock(const std::string& password, int64_t nowMs) {
    if (const Try before = ready(); before != Try::Ready) {
        return before;
    }
    if (m_throttle.waitMs(nowMs) > 0) {
        return Try::Waiting;
    }
    switch (checkUnlockHash(m_state.unlockHash, password)) {
    case UnlockCheck::Match:
        m_throttle.succeeded();
        m_state.unlocked = true;
        return Try::Unlocked;
    case UnlockCheck::Wrong:
        m_throttle.failed(nowMs);
        return Try::Wrong;
    case UnlockCheck::Malformed:
        break;
    }
    return Try::Malformed;
}

} // namespace quill
