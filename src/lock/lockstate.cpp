// SPDX-License-Identifier: MIT
#include "lock/lockstate.h"

#include "lock/locktexts.h"

#include <algorithm>
#include <cctype>

namespace quill {

namespace locktext = lock::text;

namespace {

bool isTrue(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value == "true" || value == "1" || value == "yes";
}

std::string keyName(const std::string& section, const std::string& key) {
    return '[' + section + "] " + key;
}

} // namespace

LockState lockStateOf(const FixedSettings& fixed) {
    LockState lock;
    lock.fixed = fixed;
    const std::string* locked = fixed.find("Station", "Locked");
    // A system file that is there but cannot be read may be the one that
    // locks: the station stays locked, and cannot be unlocked.
    lock.locked = fixed.unreadable || (locked != nullptr && isTrue(*locked));
    if (const std::string* hash = fixed.find("Station", "UnlockHash")) {
        lock.unlockHash = *hash;
    }
    return lock;
}

bool freeRun(const RunRequest& request) {
    return request.recipe.empty() && request.workOrder.empty();
}

std::optional<std::string> lockRefusal(const LockState& lock, const RunRequest& request) {
    if (!lock.locked) {
        return std::nullopt;
    }
    const std::string& file = lock.fixed.file;
    if (lock.fixed.unreadable) {
        return locktext::SystemFileUnreadable + file + locktext::SystemFileUnreadableEnd;
    }
    // The unlock frees the operator's choice of file, never what the
    // system file fixes.
    if (!lock.fixed.overridden.empty()) {
        const FixedSetting& s = lock.fixed.overridden.front();
        return locktext::Locked + keyName(s.section, s.key) + locktext::OverriddenMiddle + file +
               locktext::OverriddenEnd;
    }
    const std::string* url = lock.fixed.find("History", "URL");
    if (url != nullptr && !request.historyUrl.empty() && request.historyUrl != *url) {
        return std::string(locktext::Locked) + locktext::HistoryUrlOption + locktext::OptionMiddle +
               keyName("History", "URL") + locktext::OptionAfter + file + locktext::OptionEnd;
    }
    if (freeRun(request) && !lock.unlocked) {
        return std::string(locktext::FreeRunRefused);
    }
    return std::nullopt;
}

} // namespace quill
