// SPDX-License-Identifier: MIT
#pragma once
// The yield of a set of attempts, as a picture reads it: the units counted
// in bars of an hour or a day of local time (hours when the attempts span
// two days at most), every bar from the first attempt's to the last's,
// empty ones included, so that the bars stand on a time axis. A unit
// stands in the bar of its first attempt's start, whenever its retries
// came; an attempt that never reached a device in the bar of its own.
// Every figure is unitYield's (history/unityield.h). Pure: a window builds
// it off its own thread.

#include "history/attempt.h"
#include "history/unityield.h"

#include <cstdint>
#include <vector>

namespace quill {

// An attempt's outcome as the history names it; a name this version does
// not know is a failure.
Outcome yieldOutcome(const std::string& name);

// What the yield needs of an attempt.
UnitRow unitRowOf(const Attempt& attempt);

// One bar: the yield of its rows, and its units judged by how they ended.
struct YieldBar {
    UnitYield yield;
    int passed = 0;  // complete at the first pass, and still at the last
    int retried = 0; // complete at the last pass, not at the first
    int failed = 0;  // not complete at the last pass
    bool operator==(const YieldBar&) const = default;
};

struct YieldBars {
    enum class Width { Hour, Day };
    Width width = Width::Hour;
    std::vector<int64_t> startsMs; // each bar's first millisecond, oldest first
    std::vector<YieldBar> bars;    // one per start
    UnitYield total;               // of every row
};

// The bars of `rows`, in any order.
YieldBars yieldBars(const std::vector<UnitRow>& rows);

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
