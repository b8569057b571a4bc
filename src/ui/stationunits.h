// SPDX-License-Identifier: MIT
#pragma once
// The units of the station window's rounds since it opened: every ended
// attempt kept as a row of the yield (history/unityield.h), which alone
// counts them, and for each port the unit it holds now, which Retry failed
// (F6) goes on with: the same key, its attempts counted on, the numbers it
// drew kept. Start (F5) puts a new unit on every port of its round.

#include "history/unityield.h"
#include "run/runrequest.h"
#include "shared/report.h"

#include <string>
#include <vector>

namespace quill {

class StationUnits {
  public:
    // A round on `ports` of the window's `portCount` (tile indexes);
    // `retry`: Retry failed's, on the units those ports hold.
    void beginRound(const std::vector<size_t>& ports, size_t portCount, bool retry);
    // Device `index` of the round ended with this report.
    void ended(size_t index, const DeviceReport& device);
    // The round finished: the devices that never started end with it.
    void finished(const RunReport& run);
    // ... and none of them started: the round was not one, its attempts
    // are counted as not started.
    void roundNotStarted() { --m_round; }

    // The units a retry of these ports goes on with, in their order.
    std::vector<UnitCarry> carries(const std::vector<size_t>& ports) const;
    int round() const { return m_round; }
    const std::vector<UnitRow>& rows() const { return m_rows; }
    UnitYield yield() const { return unitYield(m_rows); }

  private:
    std::vector<UnitRow> m_rows;
    std::vector<UnitCarry> m_units; // the unit each port holds; no key: none yet
    std::vector<size_t> m_portOf;   // of each device of the round
    std::vector<bool> m_ended;      // ... whose row is kept
    int m_round = 0;
};

// The header's line for a yield: "Units 4: first pass 3 (75%), final 4
// (100%)", then the attempts not started and the units stopped, when any.
std::string unitsText(const UnitYield& yield);

} // namespace quill
