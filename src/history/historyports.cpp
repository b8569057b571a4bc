// SPDX-License-Identifier: MIT
#include "history/historyports.h"

#include "history/historyyield.h"
#include "history/unityield.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace quill {

PortRow portRowOf(const Attempt& attempt) {
    return {attempt.port, attempt.byId.empty() ? attempt.usbSerial : attempt.byId, attempt.unitKey,
            attempt.attemptNo, yieldOutcome(attempt.outcome)};
}

std::optional<double> PortFailures::failedPercent() const {
    return attempts == 0 ? std::nullopt : std::optional<double>(100.0 * failed / attempts);
}

std::vector<PortFailures> portFailures(const std::vector<PortRow>& rows) {
    struct Counts {
        PortFailures figures;
        std::set<std::string> units;
        std::map<Outcome, int> failures;
    };
    std::map<std::pair<std::string, std::string>, Counts> places;
    for (const PortRow& r : rows) {
        if (r.outcome == Outcome::Unfinished) {
            continue;
        }
        Counts& c = places[{r.port, r.adapter}];
        if (!r.attemptNo) {
            ++c.figures.notStarted;
            continue;
        }
        if (outcomeStopped(r.outcome)) {
            continue;
        }
        c.units.insert(r.unitKey);
        ++c.figures.attempts;
        if (outcomeFailed(r.outcome)) {
            ++c.figures.failed;
            ++c.failures[r.outcome];
        }
    }

    std::vector<PortFailures> out;
    out.reserve(places.size());
    for (auto& [place, c] : places) {
        PortFailures& f = out.emplace_back(std::move(c.figures));
        f.port = place.first;
        f.adapter = place.second;
        f.units = int(c.units.size());
        // The first of the most met, in the order outcomes are enumerated.
        int most = 0;
        for (const auto& [outcome, n] : c.failures) {
            if (n > most) {
                most = n;
                f.commonest = outcome;
            }
        }
    }
    const auto share = [](const PortFailures& f) { return f.failedPercent().value_or(-1.0); };
    std::stable_sort(out.begin(), out.end(), [&](const PortFailures& a, const PortFailures& b) {
        return share(a) != share(b) ? share(a) > share(b) : a.failed > b.failed;
    });
    return out;
}

} // namespace quill
