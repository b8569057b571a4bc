// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --history --yield: the yield of the units of a listing's rows,
// per day (UTC, the day of each unit's first attempt), per batch or per
// work order, as
// unityield.h defines it, in the listing's three forms: a table for a
// person, CSV (RFC 4180) and JSON lines for programs, under the same names.

#include "history/attempt.h"
#include "history/unityield.h"

#include <string>
#include <vector>

namespace quill {

// What the units are grouped by: --by day, batch or order.
enum class YieldBy : uint8_t { Day, Batch, Order };

struct YieldGroup {
    std::string key; // the day ("2026-12-07"), the batch or the order (empty: none)
    UnitYield yield;
};

// Collects rows one at a time; the groups come out in the order of their keys.
class YieldGroups {
  public:
    explicit YieldGroups(YieldBy by) : m_by(by) {}
    void add(const Attempt& a);
    std::vector<YieldGroup> groups() const;
    YieldBy by() const { return m_by; }

  private:
    struct Row {
        UnitRow unit;
        std::string key;
    };
    YieldBy m_by;
    std::vector<Row> m_rows;
};

std::string yieldTable(const std::vector<YieldGroup>& groups, YieldBy by);
std::string yieldCsv(const std::vector<YieldGroup>& groups, YieldBy by);
std::string yieldJsonLines(const std::vector<YieldGroup>& groups, YieldBy by);

} // namespace quill
