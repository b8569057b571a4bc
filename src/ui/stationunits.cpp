// SPDX-License-Identifier: MIT
#include "ui/stationunits.h"

#include "ui/uitexts.h"

#include <algorithm>

namespace quill {

void StationUnits::beginRound(const std::vector<size_t>& ports, size_t portCount, bool retry) {
    ++m_round;
    m_units.resize(portCount);
    m_portOf = ports;
    m_ended.assign(ports.size(), false);
    if (!retry) {
        for (const size_t port : ports) {
            m_units[port] = {};
        }
    }
}

void StationUnits::ended(size_t index, const DeviceReport& d) {
    if (index >= m_ended.size() || m_ended[index] || !d.outcome) {
        return;
    }
    m_ended[index] = true;
    // Rows of a unit with no number of attempt between them keep the order
    // they ended in.
    m_rows.push_back({d.unitKey, d.attemptNo, *d.outcome, static_cast<int64_t>(m_rows.size())});
    // What the port's unit is known by, as far as this attempt told: a
    // retry cancelled before it drew anything keeps what the unit had.
    UnitCarry& unit = m_units[m_portOf[index]];
    if (!d.unitKey.empty()) {
        unit.unitKey = d.unitKey;
    }
    if (d.attemptNo) {
        unit.attemptsMade = std::max(unit.attemptsMade, *d.attemptNo);
    }
    if (d.unit) {
        unit.batchUnit = d.unit;
    }
    if (!d.serial.empty()) {
        unit.serial = d.serial;
        unit.serialBytes = d.serialBytes;
    }
}

void StationUnits::finished(const RunReport& run) {
    for (size_t i = 0; i < run.devices.size(); ++i) {
        ended(i, run.devices[i]);
    }
}

std::vector<UnitCarry> StationUnits::carries(const std::vector<size_t>& ports) const {
    std::vector<UnitCarry> units;
    for (const size_t port : ports) {
        units.push_back(port < m_units.size() ? m_units[port] : UnitCarry{});
    }
    return units;
}

std::string unitsText(const UnitYield& y) {
    UnitsSaid said = unitsSaid(y);
    if (y.units == 0) {
        said.units = text::StationNoUnits;
    }
    return said.line();
}

} // namespace quill
