// SPDX-License-Identifier: MIT
#include "history/historyformat.h"

#include "history/historytexts.h"
#include "history/unityield.h"
#include "shared/utf8text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace quill {

namespace {

// One field as CSV and JSON write it: a text, a number, or nothing. The
// value goes into a cell that is reused from field to field.
enum class Kind { Text, Number, Null };

Kind text(const std::string& s, std::string& cell) {
    cell = s;
    return s.empty() ? Kind::Null : Kind::Text;
}

Kind number(int64_t n, std::string& cell) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    cell.assign(digits, end);
    return Kind::Number;
}

template <typename N> Kind number(const std::optional<N>& n, std::string& cell) {
    cell.clear();
    return n ? number(int64_t(*n), cell) : Kind::Null;
}

std::optional<int64_t> durationMs(const Attempt& a) {
    return a.endedMs ? std::optional<int64_t>(*a.endedMs - a.startedMs) : std::nullopt;
}

std::string seconds(int64_t ms, const char* format) {
    char out[32];
    std::snprintf(out, sizeof out, format, static_cast<double>(ms) / 1000.0);
    return out;
}

struct Field {
    const char* name;
    Kind (*value)(const Attempt&, std::string& cell);
};

const std::array<Field, 33> fields{{
    {"id", [](const Attempt& a, std::string& c) { return number(a.id, c); }},
    {"started", [](const Attempt& a, std::string& c) { return text(utcTime(a.startedMs), c); }},
    {"ended",
     [](const Attempt& a, std::string& c) {
         return a.endedMs ? text(utcTime(*a.endedMs), c) : text({}, c);
     }},
    {"seconds",
     [](const Attempt& a, std::string& c) {
         const auto ms = durationMs(a);
         c = ms ? seconds(*ms, "%.3f") : std::string();
         return ms ? Kind::Number : Kind::Null;
     }},
    {"station", [](const Attempt& a, std::string& c) { return text(a.station, c); }},
    {"operator", [](const Attempt& a, std::string& c) { return text(a.operatorName, c); }},
    {"program", [](const Attempt& a, std::string& c) { return text(a.program, c); }},
    {"version", [](const Attempt& a, std::string& c) { return text(a.programVersion, c); }},
    {"port", [](const Attempt& a, std::string& c) { return text(a.port, c); }},
    {"device_path", [](const Attempt& a, std::string& c) { return text(a.devicePath, c); }},
    {"by_id", [](const Attempt& a, std::string& c) { return text(a.byId, c); }},
    {"usb_serial", [](const Attempt& a, std::string& c) { return text(a.usbSerial, c); }},
    {"baud", [](const Attempt& a, std::string& c) { return number(a.baud, c); }},
    {"device", [](const Attempt& a, std::string& c) { return text(a.device, c); }},
    {"file", [](const Attempt& a, std::string& c) { return text(a.filePath, c); }},
    {"file_size", [](const Attempt& a, std::string& c) { return number(a.fileSize, c); }},
    {"file_sha256", [](const Attempt& a, std::string& c) { return text(a.sha256, c); }},
    {"records_sent", [](const Attempt& a, std::string& c) { return number(a.recordsSent, c); }},
    {"records_total", [](const Attempt& a, std::string& c) { return number(a.recordsTotal, c); }},
    {"data_bytes_sent",
     [](const Attempt& a, std::string& c) { return number(a.dataBytesSent, c); }},
    {"data_bytes_total",
     [](const Attempt& a, std::string& c) { return number(a.dataBytesTotal, c); }},
    {"outcome", [](const Attempt& a, std::string& c) { return text(a.outcome, c); }},
    {"exit_code", [](const Attempt& a, std::string& c) { return number(a.exitCode, c); }},
    {"last_message", [](const Attempt& a, std::string& c) { return text(a.lastMessage, c); }},
    {"trace_file", [](const Attempt& a, std::string& c) { return text(a.traceFile, c); }},
    {"batch", [](const Attempt& a, std::string& c) { return text(a.batch, c); }},
    {"unit", [](const Attempt& a, std::string& c) { return number(a.unit, c); }},
    {"serial", [](const Attempt& a, std::string& c) { return text(a.serial, c); }},
    {"unit_key", [](const Attempt& a, std::string& c) { return text(a.unitKey, c); }},
    {"attempt", [](const Attempt& a, std::string& c) { return number(a.attemptNo, c); }},
    {"kind", [](const Attempt& a, std::string& c) { return text(unitKindName(a.attemptNo), c); }},
    {"recipe", [](const Attempt& a, std::string& c) { return text(a.recipe, c); }},
    {"work_order", [](const Attempt& a, std::string& c) { return text(a.workOrder, c); }},
}};

std::vector<std::string> tableRow(const Attempt& a) {
    const auto ms = durationMs(a);
    std::string batch = a.batch;
    if (a.unit) {
        batch += (batch.empty() ? "#" : " #") + std::to_string(*a.unit);
    }
    std::string started = utcTime(a.startedMs).substr(0, 19);
    started[10] = ' ';
    return {
        started,
        a.port,
        a.filePath,
        a.sha256.substr(0, 12),
        a.outcome,
        std::to_string(a.recordsSent) + "/" + std::to_string(a.recordsTotal),
        ms ? seconds(*ms, "%.1f") : "",
        a.station,
        a.operatorName,
        batch,
    };
}

} // namespace

void appendCsvField(std::string& out, const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        out += c;
        if (c == '"') {
            out += c;
        }
    }
    out += '"';
}

// What a terminal is shown of a text: no control characters, which could
// move its cursor or change its colours.
std::string printableText(std::string s) {
    std::replace_if(
        s.begin(), s.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return s;
}

// The width of a text on a terminal, counting characters, not bytes.
size_t textWidth(const std::string& s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// By hand rather than through QDateTime: a long listing writes two a row.
std::string utcTime(int64_t ms) {
    const int64_t milli = ((ms % 1000) + 1000) % 1000;
    const std::time_t seconds = static_cast<std::time_t>((ms - milli) / 1000);
    std::tm t{};
    if (::gmtime_r(&seconds, &t) == nullptr) {
        return {};
    }
    char out[96];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, int(milli));
    return out;
}

namespace {

std::vector<std::string> shownRow(const Attempt& a) {
    std::vector<std::string> row = tableRow(a);
    for (std::string& cell : row) {
        cell = printableText(utf8Text(cell));
    }
    return row;
}

} // namespace

void HistoryTable::measure(const Attempt& a) {
    const std::vector<std::string> row = shownRow(a);
    for (size_t i = 0; i < row.size(); ++i) {
        m_widths[i] = std::max(m_widths[i], textWidth(row[i]));
    }
}

void HistoryTable::appendCaptions(std::string& out) const {
    appendCells(out, m_captions);
}

void HistoryTable::appendLine(std::string& out, const Attempt& a) const {
    appendCells(out, shownRow(a));
}

// A row written while the listing was read twice may be wider than its
// columns: it stays whole.
void HistoryTable::appendCells(std::string& out, const std::vector<std::string>& cells) const {
    const size_t start = out.size();
    for (size_t i = 0; i < cells.size(); ++i) {
        out += cells[i];
        out.append(m_widths[i] - std::min(m_widths[i], textWidth(cells[i])) + 2, ' ');
    }
    out.resize(std::max(start, out.find_last_not_of(' ') + 1));
    out += '\n';
}

HistoryTable::HistoryTable() {
    m_captions = std::vector<std::string>{
        text::HistoryColumnStarted, text::HistoryColumnPort,    text::HistoryColumnFile,
        text::HistoryColumnSha256,  text::HistoryColumnOutcome, text::HistoryColumnRecords,
        text::HistoryColumnSeconds, text::HistoryColumnStation, text::HistoryColumnOperator,
        text::HistoryColumnBatch,
    };
    for (size_t i = 0; i < m_widths.size(); ++i) {
        m_widths[i] = textWidth(m_captions[i]);
    }
}

std::string historyTable(const std::vector<Attempt>& attempts) {
    HistoryTable table;
    for (const Attempt& a : attempts) {
        table.measure(a);
    }
    std::string out;
    table.appendCaptions(out);
    for (const Attempt& a : attempts) {
        table.appendLine(out, a);
    }
    return out;
}

void appendCsvHeader(std::string& out) {
    for (size_t i = 0; i < fields.size(); ++i) {
        out += i == 0 ? "" : ",";
        out += fields[i].name;
    }
    out += "\r\n";
}

void appendCsv(std::string& out, const Attempt& a) {
    std::string cell;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        fields[i].value(a, cell);
        appendCsvField(out, cell);
    }
    out += "\r\n";
}

void appendJsonLine(std::string& out, const Attempt& a) {
    std::string cell;
    out += '{';
    for (size_t i = 0; i < fields.size(); ++i) {
        out += i == 0 ? "\"" : ", \"";
        out += fields[i].name; // plain ASCII
        out += "\": ";
        switch (fields[i].value(a, cell)) {
        case Kind::Null:
            out += "null";
            break;
        case Kind::Number:
            out += cell;
            break;
        case Kind::Text:
            appendJsonString(out, cell);
            break;
        }
    }
    out += "}\n";
}

std::string historyCsv(const std::vector<Attempt>& attempts) {
    std::string out;
    appendCsvHeader(out);
    for (const Attempt& a : attempts) {
        appendCsv(out, a);
    }
    return out;
}

std::string historyJsonLines(const std::vector<Attempt>& attempts) {
    std::string out;
    for (const Attempt& a : attempts) {
        appendJsonLine(out, a);
    }
    return out;
}

} // namespace quill
