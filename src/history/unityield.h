// SPDX-License-Identifier: MIT
#pragma once
// The yield of units, the one definition every view counts by: the station
// window's header, the History window's Yield tab, quill-cli's --repeat
// summary and --history --yield.
//
// A unit is one device in one place (one port of one round); its attempts
// are the downloads that reached it, numbered from 1, the first pass. An
// attempt that never reached a device (no file, a usage problem, the prompt
// cancelled, the port missing or busy, stopped before the first byte) is no
// unit and no failure of one: it is counted apart, as not started. An
// attempt stopped by the operator or a signal is not judged: a unit whose
// attempts were all stopped is counted apart, as stopped. The rest are the
// units judged: first pass when their first judged attempt completed, final
// when their last one did. Attempts still running are counted apart too.

#include "shared/outcome.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quill {

// What the yield needs of one attempt.
struct UnitRow {
    std::string unitKey;                // the unit's; rows of one unit share it
    std::optional<int> attemptNo;       // 1 for the first pass; none: it never reached a device
    Outcome outcome = Outcome::Failure; // Unfinished while it runs
    int64_t startedMs = 0;
};

// The outcomes that say an attempt never reached its device, whatever it
// sent: before units were kept, a row said no more than these (with a port
// failure before its first record) of where it had come.
std::span<const Outcome> outcomesNeverReached();
// Whether an attempt with that end, kept before units, reached its device.
bool reachedDevice(Outcome outcome, int64_t recordsSent);

// What the listings call a row: "unit" for an attempt that reached its
// device (or, while it runs, has), "not_started" for one that never did.
const char* unitKindName(const std::optional<int>& attemptNo);

// An attempt is stopped, not failed: the operator's Stop (Esc), a signal,
// a new Start.
bool outcomeStopped(Outcome outcome);

struct UnitYield {
    int units = 0;      // judged: an attempt that ended complete or failed
    int firstPass = 0;  // ... whose first judged attempt completed
    int final = 0;      // ... whose last judged attempt completed
    int stopped = 0;    // units whose every ended attempt was stopped
    int notStarted = 0; // attempts that never reached a device
    int running = 0;    // attempts still running

    // Of the units judged, in percent; none before any was.
    std::optional<double> firstPassPercent() const;
    std::optional<double> finalPercent() const;
    bool operator==(const UnitYield&) const = default;
};

// The yield of `rows`, in any order: attempts of a unit are ordered by their
// number, then by start.
UnitYield unitYield(const std::vector<UnitRow>& rows);

// A percentage as the views print it: whole when it is, else one decimal
// ("75", "66.7"); "-" when none.
std::string yieldPercentText(std::optional<double> percent);

// The units as every view says them: "Units 4: first pass 3 (75%), final
// 4 (100%)" ("(-)" before any unit was judged), and what is counted apart,
// those that are not 0, in this order: "2 not started", "1 stopped",
// "1 running".
struct UnitsSaid {
    std::string units;
    std::vector<std::string> apart;
    // `units`, then each of `apart` after `separator`, joined by ", ".
    std::string line(const std::string& separator = ", ") const;
};
UnitsSaid unitsSaid(const UnitYield& yield);

} // namespace quill
