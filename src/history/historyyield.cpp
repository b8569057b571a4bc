// SPDX-License-Identifier: MIT
#include "history/historyyield.h"

#include <algorithm>
#include <array>
#include <ctime>

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

std::optional<double> YieldBars::yieldPercent() const {
    return ended == 0 ? std::nullopt : std::optional<double>(100.0 * complete / ended);
}

YieldBars YieldBars::bar(size_t i) const {
    YieldBars one;
    one.width = width;
    one.startsMs = {startsMs.at(i)};
    for (size_t c = 0; c < outcomes.size(); ++c) {
        const int n = counts[c][i];
        if (n == 0) {
            continue;
        }
        one.outcomes.push_back(outcomes[c]);
        one.counts.push_back({n});
        one.totals.push_back(n);
        one.attempts += n;
        one.complete += outcomes[c] == Outcome::Complete ? n : 0;
        one.ended += outcomes[c] == Outcome::Unfinished ? 0 : n;
    }
    return one;
}

YieldBars yieldBars(const std::vector<YieldPoint>& points) {
    YieldBars bars;
    if (points.empty()) {
        return bars;
    }
    const auto [first, last] = std::minmax_element(
        points.begin(), points.end(),
        [](const YieldPoint& a, const YieldPoint& b) { return a.startedMs < b.startedMs; });
    bars.width = last->startedMs - first->startedMs <= twoDaysMs ? YieldBars::Width::Hour
                                                                 : YieldBars::Width::Day;
    for (int64_t start = barStart(first->startedMs, bars.width, 0); start <= last->startedMs;) {
        bars.startsMs.push_back(start);
        const int64_t next = barStart(start, bars.width, 1);
        if (next <= start) {
            break; // a time the C library cannot convert
        }
        start = next;
    }

    // Each outcome's column, in the order of the enumeration, complete first.
    // Every outcome counts, the last enumerated (EventsFailed) too.
    constexpr size_t kinds = static_cast<size_t>(Outcome::EventsFailed) + 1;
    std::array<bool, kinds> met{};
    for (const YieldPoint& p : points) {
        met[static_cast<size_t>(p.outcome)] = true;
    }
    std::array<int, kinds> column{};
    for (size_t k = 0; k < kinds; ++k) {
        if (met[k]) {
            column[k] = static_cast<int>(bars.outcomes.size());
            bars.outcomes.push_back(static_cast<Outcome>(k));
        }
    }
    bars.counts.assign(bars.outcomes.size(), std::vector<int>(bars.startsMs.size(), 0));
    bars.totals.assign(bars.outcomes.size(), 0);
    for (const YieldPoint& p : points) {
        const auto bar = std::upper_bound(bars.startsMs.begin(), bars.startsMs.end(), p.startedMs) -
                         bars.startsMs.begin() - 1;
        const int c = column[static_cast<size_t>(p.outcome)];
        ++bars.counts[static_cast<size_t>(c)][static_cast<size_t>(bar)];
        ++bars.totals[static_cast<size_t>(c)];
    }
    bars.attempts = static_cast<int>(points.size());
    for (size_t c = 0; c < bars.outcomes.size(); ++c) {
        if (bars.outcomes[c] == Outcome::Complete) {
            bars.complete = bars.totals[c];
        }
        if (bars.outcomes[c] != Outcome::Unfinished) {
            bars.ended += bars.totals[c];
        }
    }
    return bars;
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
