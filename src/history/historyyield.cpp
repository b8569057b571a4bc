// SPDX-License-Identifier: MIT
#include "history/historyyield.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace quill {

namespace {

constexpr int64_t hourMs = 3'600'000;
constexpr int64_t twoDaysMs = 48 * hourMs;

// The local time of `ms` cut to its hour or day, and the next one after it,
// through the C library: a day with a change of summer time has 23 or 25
// hours, and its bar all of them.
int64_t barStart(int64_t ms, YieldBars::Width width, int later) {
    const time_t t = static_cast<time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&t, &local);
    local.tm_sec = 0;
    local.tm_min = 0;
    if (width == YieldBars::Width::Day) {
        local.tm_hour = 0;
        local.tm_mday += later;
    } else {
        local.tm_hour += later;
    }
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local)) * 1000;
}

// Units are counted apart: two sets of them together count as the sum.
UnitYield sum(const UnitYield& a, const UnitYield& b) {
    return {a.units + b.units,     a.firstPass + b.firstPass,   a.final + b.final,
            a.stopped + b.stopped, a.notStarted + b.notStarted, a.running + b.running};
}

} // namespace

Outcome yieldOutcome(const std::string& name) {
    return outcomeNamed(name).value_or(Outcome::Failure);
}

UnitRow unitRowOf(const Attempt& attempt) {
    return {attempt.unitKey, attempt.attemptNo, yieldOutcome(attempt.outcome), attempt.startedMs};
}

YieldBars yieldBars(const std::vector<UnitRow>& rows) {
    YieldBars out;
    out.total = unitYield(rows);
    if (rows.empty()) {
        return out;
    }
    const auto [first, last] =
        std::minmax_element(rows.begin(), rows.end(), [](const UnitRow& a, const UnitRow& b) {
            return a.startedMs < b.startedMs;
        });
    out.width = last->startedMs - first->startedMs <= twoDaysMs ? YieldBars::Width::Hour
                                                                : YieldBars::Width::Day;
    for (int64_t start = barStart(first->startedMs, out.width, 0); start <= last->startedMs;) {
        out.startsMs.push_back(start);
        const int64_t next = barStart(start, out.width, 1);
        if (next <= start) {
            break; // a time the C library cannot convert
        }
        start = next;
    }
    const auto barOf = [&out](int64_t ms) {
        return size_t(std::upper_bound(out.startsMs.begin(), out.startsMs.end(), ms) -
                      out.startsMs.begin() - 1);
    };

    // The rows of each unit together, in the order of its attempts; the
    // rows that reached no device after them, each alone.
    std::vector<const UnitRow*> order;
    order.reserve(rows.size());
    for (const UnitRow& r : rows) {
        order.push_back(&r);
    }
    std::sort(order.begin(), order.end(), [](const UnitRow* a, const UnitRow* b) {
        if (!a->attemptNo || !b->attemptNo) {
            return a->attemptNo.has_value() > b->attemptNo.has_value();
        }
        if (const int c = a->unitKey.compare(b->unitKey); c != 0) {
            return c < 0;
        }
        return std::pair(*a->attemptNo, a->startedMs) < std::pair(*b->attemptNo, b->startedMs);
    });
    // Each unit, or row alone, by unitYield, in the bar of its first attempt.
    out.bars.resize(out.startsMs.size());
    std::vector<UnitRow> group; // its strings' room is used again
    const auto sameUnit = [](const UnitRow* a, const UnitRow* b) {
        return a->attemptNo && b->attemptNo && a->unitKey == b->unitKey;
    };
    for (size_t i = 0, end = 0; i < order.size(); i = end) {
        for (end = i + 1; end < order.size() && sameUnit(order[i], order[end]);) {
            ++end;
        }
        group.resize(end - i);
        for (size_t k = 0; k < group.size(); ++k) {
            group[k] = *order[i + k];
        }
        const UnitYield unit = unitYield(group);
        YieldBar& bar = out.bars[barOf(order[i]->startedMs)];
        bar.yield = sum(bar.yield, unit);
        if (unit.units == 1) {
            ++(unit.final == 0 ? bar.failed : unit.firstPass == 1 ? bar.passed : bar.retried);
        }
    }
    return out;
}

YieldAxis yieldAxis(int highest) {
    constexpr int MostSteps = 5;
    const int64_t high = std::max(highest, 1);
    for (int64_t power = 1;; power *= 10) {
        for (const int64_t step : {power, 2 * power, 5 * power}) {
            const int64_t steps = (high + step - 1) / step;
            if (steps <= MostSteps) {
                return {int(step), int(steps * step)};
            }
        }
    }
}

} // namespace quill
