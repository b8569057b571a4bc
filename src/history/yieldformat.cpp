// SPDX-License-Identifier: MIT
#include "history/yieldformat.h"

#include "history/historyformat.h"
#include "shared/utf8text.h"

#include <algorithm>
#include <array>
#include <map>

namespace quill {

namespace {

// The cells of one group, each column's: a text or a number, or nothing.
std::vector<std::string> cells(const YieldGroup& g) {
    const UnitYield& y = g.yield;
    const auto percent = [](std::optional<double> p) { return p ? yieldPercentText(p) : ""; };
    return {g.key,
            std::to_string(y.units),
            std::to_string(y.firstPass),
            percent(y.firstPassPercent()),
            std::to_string(y.final),
            percent(y.finalPercent()),
            std::to_string(y.stopped),
            std::to_string(y.notStarted),
            std::to_string(y.running)};
}

constexpr std::array<const char*, 8> numberNames{
    "units",         "first_pass", "first_pass_percent", "final",
    "final_percent", "stopped",    "not_started",        "running"};

const char* keyName(YieldBy by) {
    return by == YieldBy::Batch ? "batch" : by == YieldBy::Order ? "work_order" : "day";
}

} // namespace

void YieldGroups::add(const Attempt& a) {
    Row row;
    row.unit.unitKey = a.unitKey.empty() ? a.key : a.unitKey;
    row.unit.attemptNo = a.attemptNo;
    row.unit.outcome = outcomeNamed(a.outcome).value_or(Outcome::Failure);
    row.unit.startedMs = a.startedMs;
    row.key = m_by == YieldBy::Batch   ? a.batch
              : m_by == YieldBy::Order ? a.workOrder
                                       : utcTime(a.startedMs).substr(0, 10);
    m_rows.push_back(std::move(row));
}

std::vector<YieldGroup> YieldGroups::groups() const {
    // A unit counts where its first attempt does: a retry after midnight is
    // not a unit of the next day too.
    std::map<std::string, const Row*> first;
    for (const Row& r : m_rows) {
        const Row*& f = first[r.unit.unitKey];
        if (f == nullptr || r.unit.startedMs < f->unit.startedMs) {
            f = &r;
        }
    }
    std::map<std::string, std::vector<UnitRow>> byKey;
    for (const Row& r : m_rows) {
        byKey[first[r.unit.unitKey]->key].push_back(r.unit);
    }
    std::vector<YieldGroup> groups;
    for (const auto& [key, rows] : byKey) {
        groups.push_back({key, unitYield(rows)});
    }
    return groups;
}

std::string yieldTable(const std::vector<YieldGroup>& groups, YieldBy by) {
    const char* key = by == YieldBy::Batch   ? "BATCH"
                      : by == YieldBy::Order ? "WORK ORDER"
                                             : "DAY (UTC)";
    std::vector<std::vector<std::string>> lines{
        {key, "UNITS", "FIRST PASS", "%", "FINAL", "%", "STOPPED", "NOT STARTED", "RUNNING"}};
    for (const YieldGroup& g : groups) {
        std::vector<std::string> line = cells(g);
        line[0] = line[0].empty() ? "-" : printableText(line[0]);
        for (size_t i : {3u, 5u}) {
            line[i] = line[i].empty() ? "-" : line[i];
        }
        lines.push_back(std::move(line));
    }
    std::vector<size_t> widths(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], textWidth(line[i]));
        }
    }
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            // The key to the left, the numbers to the right.
            const std::string pad(widths[i] - textWidth(line[i]), ' ');
            text += i == 0 ? line[i] + pad : "  " + pad + line[i];
        }
        out += text + "\n";
    }
    return out;
}

std::string yieldCsv(const std::vector<YieldGroup>& groups, YieldBy by) {
    std::string out = keyName(by);
    for (const char* name : numberNames) {
        out += std::string(",") + name;
    }
    out += "\r\n";
    for (const YieldGroup& g : groups) {
        const std::vector<std::string> line = cells(g);
        appendCsvField(out, utf8Text(line[0]));
        for (size_t i = 1; i < line.size(); ++i) {
            out += "," + line[i];
        }
        out += "\r\n";
    }
    return out;
}

std::string yieldJsonLines(const std::vector<YieldGroup>& groups, YieldBy by) {
    std::string out;
    for (const YieldGroup& g : groups) {
        const std::vector<std::string> line = cells(g);
        out += std::string("{\"") + keyName(by) +
               "\": " + (line[0].empty() ? "null" : jsonString(line[0]));
        for (size_t i = 1; i < line.size(); ++i) {
            out += std::string(", \"") + numberNames[i - 1] +
                   "\": " + (line[i].empty() ? "null" : line[i]);
        }
        out += "}\n";
    }
    return out;
}

} // namespace quill
