// SPDX-License-Identifier: MIT
#include "history/historyformat.h"

#include "history/historytexts.h"
#include "shared/utf8text.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

namespace quill {

namespace {

// One field as CSV and JSON write it: a text, a number, or nothing.
struct Value {
    enum class Kind { Text, Number, Null };
    Kind kind = Kind::Null;
    std::string text;
};

Value text(const std::string& s) {
    return s.empty() ? Value{} : Value{Value::Kind::Text, s};
}

template <typename N> Value number(const std::optional<N>& n) {
    return n ? Value{Value::Kind::Number, std::to_string(*n)} : Value{};
}

Value number(int64_t n) {
    return {Value::Kind::Number, std::to_string(n)};
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
    std::function<Value(const Attempt&)> value;
};

const std::array<Field, 27> fields{{
    {"id", [](const Attempt& a) { return number(a.id); }},
    {"started",
     [](const Attempt& a) {
         return Value{Value::Kind::Text, utcTime(a.startedMs)};
     }},
    {"ended", [](const Attempt& a) { return a.endedMs ? text(utcTime(*a.endedMs)) : Value{}; }},
    {"seconds",
     [](const Attempt& a) {
         const auto ms = durationMs(a);
         return ms ? Value{Value::Kind::Number, seconds(*ms, "%.3f")} : Value{};
     }},
    {"station", [](const Attempt& a) { return text(a.station); }},
    {"operator", [](const Attempt& a) { return text(a.operatorName); }},
    {"program", [](const Attempt& a) { return text(a.program); }},
    {"version", [](const Attempt& a) { return text(a.programVersion); }},
    {"port", [](const Attempt& a) { return text(a.port); }},
    {"device_path", [](const Attempt& a) { return text(a.devicePath); }},
    {"by_id", [](const Attempt& a) { return text(a.byId); }},
    {"usb_serial", [](const Attempt& a) { return text(a.usbSerial); }},
    {"baud", [](const Attempt& a) { return number(a.baud); }},
    {"device", [](const Attempt& a) { return text(a.device); }},
    {"file", [](const Attempt& a) { return text(a.filePath); }},
    {"file_size", [](const Attempt& a) { return number(a.fileSize); }},
    {"file_sha256", [](const Attempt& a) { return text(a.sha256); }},
    {"records_sent", [](const Attempt& a) { return number(a.recordsSent); }},
    {"records_total", [](const Attempt& a) { return number(a.recordsTotal); }},
    {"data_bytes_sent", [](const Attempt& a) { return number(a.dataBytesSent); }},
    {"data_bytes_total", [](const Attempt& a) { return number(a.dataBytesTotal); }},
    {"outcome", [](const Attempt& a) { return text(a.outcome); }},
    {"exit_code", [](const Attempt& a) { return number(a.exitCode); }},
    {"last_message", [](const Attempt& a) { return text(a.lastMessage); }},
    {"trace_file", [](const Attempt& a) { return text(a.traceFile); }},
    {"batch", [](const Attempt& a) { return text(a.batch); }},
    {"unit", [](const Attempt& a) { return number(a.unit); }},
}};

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        return s;
    }
    std::string quoted = "\"";
    for (char c : s) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + '"';
}

// What a terminal is shown of a text: no control characters, which could
// move its cursor or change its colours.
std::string printable(std::string s) {
    std::replace_if(
        s.begin(), s.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return s;
}

// The width of a text on a terminal, counting characters, not bytes.
size_t width(const std::string& s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

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

std::string utcTime(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

std::string historyTable(const std::vector<Attempt>& attempts) {
    std::vector<std::vector<std::string>> rows{{
        text::HistoryColumnStarted,
        text::HistoryColumnPort,
        text::HistoryColumnFile,
        text::HistoryColumnSha256,
        text::HistoryColumnOutcome,
        text::HistoryColumnRecords,
        text::HistoryColumnSeconds,
        text::HistoryColumnStation,
        text::HistoryColumnOperator,
        text::HistoryColumnBatch,
    }};
    for (const Attempt& a : attempts) {
        rows.push_back(tableRow(a));
        for (std::string& cell : rows.back()) {
            cell = printable(utf8Text(cell));
        }
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], width(row[i]));
        }
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i] + std::string(widths[i] - width(row[i]) + 2, ' ');
        }
        out += line.substr(0, line.find_last_not_of(' ') + 1) + '\n';
    }
    return out;
}

std::string historyCsv(const std::vector<Attempt>& attempts) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        out += i == 0 ? "" : ",";
        out += fields[i].name;
    }
    out += "\r\n";
    for (const Attempt& a : attempts) {
        for (size_t i = 0; i < fields.size(); ++i) {
            out += i == 0 ? "" : ",";
            out += csvField(fields[i].value(a).text);
        }
        out += "\r\n";
    }
    return out;
}

std::string historyJsonLines(const std::vector<Attempt>& attempts) {
    std::string out;
    for (const Attempt& a : attempts) {
        out += '{';
        for (size_t i = 0; i < fields.size(); ++i) {
            const Value v = fields[i].value(a);
            out += i == 0 ? "" : ", ";
            out += jsonString(fields[i].name);
            out += ": ";
            out += v.kind == Value::Kind::Null     ? "null"
                   : v.kind == Value::Kind::Number ? v.text
                                                   : jsonString(v.text);
        }
        out += "}\n";
    }
    return out;
}

} // namespace quill
