// SPDX-License-Identifier: MIT
#pragma once
// Failures by port and adapter: the attempts that reached a device, grouped
// by the port as named and the adapter behind it, worst first, so that a
// worn pogo pin or a failing adapter shows itself among the good ones.
// Pure: a window counts it off its own thread.

#include "history/attempt.h"
#include "shared/outcome.h"

#include <optional>
#include <string>
#include <vector>

namespace quill {

// What the count needs of an attempt.
struct PortRow {
    std::string port;
    std::string adapter; // its by-id name, else its USB serial number, else empty
    std::string unitKey;
    std::optional<int> attemptNo; // none: it never reached a device
    Outcome outcome = Outcome::Failure;
};

PortRow portRowOf(const Attempt& attempt);

struct PortFailures {
    std::string port;
    std::string adapter;
    int units = 0;    // of the attempts judged
    int attempts = 0; // judged: ended complete or failed, not stopped
    int failed = 0;
    int notStarted = 0; // attempts that never reached a device (port missing, busy, ...)
    std::optional<Outcome> commonest; // the failure met most often; none without one

    // Of the attempts judged, in percent; none before any was.
    std::optional<double> failedPercent() const;
    bool operator==(const PortFailures&) const = default;
};

// Each port and adapter met in `rows`, the highest share of failed attempts
// first, then the most failed, then by port and adapter. Attempts still
// running are left out.
std::vector<PortFailures> portFailures(const std::vector<PortRow>& rows);

} // namespace quill
