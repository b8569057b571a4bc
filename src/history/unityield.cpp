// SPDX-License-Identifier: MIT
#include "history/unityield.h"

#include "history/historytexts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace quill {

namespace {

std::optional<double> percentOf(int part, int whole) {
    return whole == 0 ? std::nullopt : std::optional<double>(100.0 * part / whole);
}

} // namespace

std::span<const Outcome> outcomesNeverReached() {
    static constexpr Outcome never[] = {
        Outcome::Usage,         Outcome::HistoryFailed,
        Outcome::EventsFailed,  Outcome::Cancelled,
        Outcome::BadRecord,     Outcome::NoRecords,
        Outcome::NoEndRecord,   Outcome::RecordsAfterEnd,
        Outcome::FileChanged,   Outcome::UnexpectedFirmware,
        Outcome::FileError,     Outcome::SerialUnusable,
        Outcome::OrderComplete,
    };
    return never;
}

bool reachedDevice(Outcome outcome, int64_t recordsSent) {
    const auto never = outcomesNeverReached();
    if (std::find(never.begin(), never.end(), outcome) != never.end()) {
        return false;
    }
    return outcome != Outcome::PortFailure || recordsSent > 0;
}

const char* unitKindName(const std::optional<int>& attemptNo) {
    return attemptNo ? "unit" : "not_started";
}

bool outcomeStopped(Outcome outcome) {
    return outcome == Outcome::Interrupted || outcome == Outcome::Superseded;
}

std::optional<double> UnitYield::firstPassPercent() const {
    return percentOf(firstPass, units);
}

std::optional<double> UnitYield::finalPercent() const {
    return percentOf(final, units);
}

UnitYield unitYield(const std::vector<UnitRow>& rows) {
    UnitYield y;
    // Each unit's judged attempts, in order; and whether it had any ended.
    struct Unit {
        std::vector<const UnitRow*> judged;
        bool ended = false;
    };
    std::map<std::string, Unit> units;
    for (const UnitRow& r : rows) {
        if (r.outcome == Outcome::Unfinished) {
            ++y.running;
            continue;
        }
        if (!r.attemptNo) {
            ++y.notStarted;
            continue;
        }
        Unit& u = units[r.unitKey];
        u.ended = true;
        if (!outcomeStopped(r.outcome)) {
            u.judged.push_back(&r);
        }
    }
    for (auto& [key, u] : units) {
        if (u.judged.empty()) {
            y.stopped += u.ended ? 1 : 0;
            continue;
        }
        std::sort(u.judged.begin(), u.judged.end(), [](const UnitRow* a, const UnitRow* b) {
            return *a->attemptNo != *b->attemptNo ? *a->attemptNo < *b->attemptNo
                                                  : a->startedMs < b->startedMs;
        });
        ++y.units;
        y.firstPass += u.judged.front()->outcome == Outcome::Complete ? 1 : 0;
        y.final += u.judged.back()->outcome == Outcome::Complete ? 1 : 0;
    }
    return y;
}

std::string yieldPercentText(std::optional<double> percent) {
    if (!percent) {
        return "-";
    }
    char text[16];
    const double tenths = std::round(*percent * 10) / 10;
    if (tenths == std::floor(tenths)) {
        std::snprintf(text, sizeof text, "%.0f", tenths);
    } else {
        std::snprintf(text, sizeof text, "%.1f", tenths);
    }
    return text;
}

UnitsSaid unitsSaid(const UnitYield& y) {
    const auto counted = [](int n, std::optional<double> percent) {
        return std::to_string(n) + " (" + yieldPercentText(percent) + (percent ? "%)" : ")");
    };
    UnitsSaid said;
    said.units = text::UnitsCounted + std::to_string(y.units) + text::UnitsFirstPass +
                 counted(y.firstPass, y.firstPassPercent()) + text::UnitsFinal +
                 counted(y.final, y.finalPercent());
    for (const auto& [n, words] :
         {std::pair(y.notStarted, text::UnitsNotStarted), std::pair(y.stopped, text::UnitsStopped),
          std::pair(y.running, text::UnitsRunning)}) {
        if (n > 0) {
            said.apart.push_back(std::to_string(n) + words);
        }
    }
    return said;
}

std::string UnitsSaid::line(const std::string& separator) const {
    std::string text = units;
    for (size_t i = 0; i < apart.size(); ++i) {
        text += (i == 0 ? separator : std::string(", ")) + apart[i];
    }
    return text;
}

} // namespace quill
