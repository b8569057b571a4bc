// SPDX-License-Identifier: MIT
#include "history/historyyield.h"

#include <algorithm>
#include <ctime>
#include <unordered_map>
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

    // Each unit's first attempt: its lowest number, the earliest of those.
    std::unordered_map<std::string, const UnitRow*> firsts;
    for (const UnitRow& r : rows) {
        if (!r.attemptNo) {
            continue;
        }
        const UnitRow*& f = firsts[r.unitKey];
        if (f == nullptr ||
            std::pair(*r.attemptNo, r.startedMs) < std::pair(*f->attemptNo, f->startedMs)) {
            f = &r;
        }
    }
    std::vector<std::vector<UnitRow>> barRows(out.startsMs.size());
    std::unordered_map<std::string, std::vector<UnitRow>> unitRows;
    for (const UnitRow& r : rows) {
        barRows[barOf(r.attemptNo ? firsts[r.unitKey]->startedMs : r.startedMs)].push_back(r);
        if (r.attemptNo) {
            unitRows[r.unitKey].push_back(r);
        }
    }
    out.bars.resize(out.startsMs.size());
    for (size_t i = 0; i < barRows.size(); ++i) {
        out.bars[i].yield = unitYield(barRows[i]);
    }
    // How each unit judged ended, by the yield of its rows alone.
    for (const auto& [key, attempts] : unitRows) {
        const UnitYield unit = unitYield(attempts);
        if (unit.units == 0) {
            continue;
        }
        YieldBar& bar = out.bars[barOf(firsts[key]->startedMs)];
        ++(unit.final == 0 ? bar.failed : unit.firstPass == 1 ? bar.passed : bar.retried);
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
