// SPDX-License-Identifier: MIT
#pragma once
// A locked station: the machine's settings file sets [Station] Locked=true,
// and then the station runs only recipes and work orders, each with what
// it fixes; a run of a file of the operator's choosing (a free run) is
// refused, and so is a setting of the user's or an option that differs
// from one the system file fixes. What this guards against is an
// operator's mistake, a wrong file or a hand-typed setting; not someone
// with root on the machine or who can write the history's database.
//
// Everything that starts a run asks lockRefusal first.

#include "platform/fixedsettings.h"
#include "run/runrequest.h"

#include <optional>
#include <string>

namespace quill {

struct LockState {
    bool locked = false;
    FixedSettings fixed;    // the system file and what it fixes
    std::string unlockHash; // [Station] UnlockHash; empty: the station cannot be unlocked
    bool unlocked = false;  // an engineer unlocked the window, for this session
};

LockState lockStateOf(const FixedSettings& fixed);

// Neither a recipe nor a work order: the file and settings are the operator's.
bool freeRun(const RunRequest& request);

// Why `request` may not run on this station, said for the operator; none:
// it may.
std::optional<std::string> lockRefusal(const LockState& lock, const RunRequest& request);

} // namespace quill
