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
    // The columns widen to hold the attempt: every attempt is measured
    // first, then written, so that no listing is held whole.
    void measure(const Attempt& a);
    // The line of the captions, then one per attempt, each ending in "\n".
    void appendCaptions(std::string& out) const;
    void appendLine(std::string& out, const Attempt& a) const;

  private:
    void appendCells(std::string& out, const std::vector<std::string>& cells) const;

    std::vector<std::string> m_captions;
    std::array<size_t, 10> m_widths{};
};

// "2026-12-06T16:31:55.480Z"
std::string utcTime(int64_t ms);

// A CSV field, quoted where it must be.
void appendCsvField(std::string& out, const std::string& s);
// What a terminal is shown of a text: no control characters, which could
// move its cursor or change its colours.
std::string printableText(std::string s);
// The width of a text on a terminal, counting characters, not bytes.
size_t textWidth(const std::string& s);

} // namespace quill
