// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --history --yield: the yield of the units of a listing's rows,
// per day (UTC, the day of each unit's first attempt) or per batch, as
// unityield.h defines it, in the listing's three forms: a table for a
// person, CSV (RFC 4180) and JSON lines for programs, under the same names.

#include "history/attempt.h"
#include "history/unityield.h"

#include <string>
#include <vector>

namespace quill {

struct YieldGroup {
    std::string key; // the day ("2026-12-07") or the batch (empty: none)
    UnitYield yield;
};

// Collects rows one at a time; the groups come out in the order of their keys.
class YieldGroups {
  public:
    explicit YieldGroups(bool byBatch) : m_byBatch(byBatch) {}
    void add(const Attempt& a);
    std::vector<YieldGroup> groups() const;
    bool byBatch() const { return m_byBatch; }

  private:
    struct Row {
        UnitRow unit;
        std::string key;
    };
    bool m_byBatch;
    std::vector<Row> m_rows;
};

std::string yieldTable(const std::vector<YieldGroup>& groups, bool byBatch);
std::string yieldCsv(const std::vector<YieldGroup>& groups, bool byBatch);
std::string yieldJsonLines(const std::vector<YieldGroup>& groups, bool byBatch);

} // namespace quill
