// SPDX-License-Identifier: MIT
#pragma once
// The listing of attempts in three forms: a table for a person at a
// terminal, CSV for a spreadsheet (RFC 4180: CRLF, fields quoted where
// they must be) and JSON lines for programs (one object per line, texts
// that are not UTF-8 escaped byte by byte). CSV and JSON carry every field
// under the same names; times are UTC, ISO 8601 with milliseconds.

#include "history/attempt.h"

#include <array>
#include <string>
#include <vector>

namespace quill {

std::string historyTable(const std::vector<Attempt>& attempts);
std::string historyCsv(const std::vector<Attempt>& attempts);
std::string historyJsonLines(const std::vector<Attempt>& attempts);

// The same a row at a time, for a listing that streams: CSV's header line,
// then one line per attempt; one JSON line per attempt.
void appendCsvHeader(std::string& out);
void appendCsv(std::string& out, const Attempt& a);
void appendJsonLine(std::string& out, const Attempt& a);

// The table's columns are as wide as their widest cell, so it keeps the
// cells of every row until text().
class HistoryTable {
  public:
    HistoryTable();
    void add(const Attempt& a);
    std::string text() const;

  private:
    std::vector<std::vector<std::string>> m_rows; // the captions first
    std::array<size_t, 10> m_widths{};
};

// "2026-12-06T16:31:55.480Z"
std::string utcTime(int64_t ms);

} // namespace quill
