// SPDX-License-Identifier: MIT
#pragma once
// The yield of a set of attempts, as a picture reads it: the attempts
// counted by outcome in bars of an hour or a day of local time (hours when
// the attempts span two days at most), every bar from the first attempt's
// to the last's, empty ones included, so that the bars stand on a time
// axis; and the totals by outcome with the yield, the complete attempts of
// those that ended. Pure: a window builds it off its own thread.

#include "shared/outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// What the yield needs of one attempt.
struct YieldPoint {
    int64_t startedMs = 0;
    Outcome outcome = Outcome::Failure; // Unfinished while it runs
};

// An attempt's outcome as the history names it; a name this version does
// not know is a failure.
Outcome yieldOutcome(const std::string& name);

struct YieldBars {
    enum class Width { Hour, Day };
    Width width = Width::Hour;
    std::vector<int64_t> startsMs;        // each bar's first millisecond, oldest first
    std::vector<Outcome> outcomes;        // the outcomes met: Complete first, then as enumerated
    std::vector<std::vector<int>> counts; // per outcome, per bar
    std::vector<int> totals;              // per outcome
    int attempts = 0;
    int complete = 0;
    int ended = 0; // not unfinished

    // The complete of the ended, in percent; none before any has ended.
    std::optional<double> yieldPercent() const;
    // Bar `i` alone, with the outcomes it holds.
    YieldBars bar(size_t i) const;
};

// The bars of `points`, in any order.
YieldBars yieldBars(const std::vector<YieldPoint>& points);

// The count axis under bars whose highest stack is `highest`: whole ticks
// a round step apart (1, 2 or 5 times a power of ten), at most five steps
// from 0 to the top, the top the first tick at or above the highest bar.
struct YieldAxis {
    int step = 1;
    int top = 1;
    int ticks() const { return top / step + 1; }
};
YieldAxis yieldAxis(int highest);

} // namespace quill
