// SPDX-License-Identifier: MIT
#include "cli/multitable.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quill::cli {

namespace {

std::string padded(std::string_view text, size_t width) {
    std::string out(text);
    if (out.size() < width) {
        out.append(width - out.size(), ' ');
    }
    return out;
}

std::string of(int64_t done, int64_t total) {
    return std::to_string(done) + "/" + std::to_string(total);
}

// Data bytes per second; nothing to say before records go out.
std::string rate(const DeviceStatus& d) {
    if (!d.rate) {
        return "- B/s";
    }
    return std::to_string(static_cast<int64_t>(*d.rate + 0.5)) + " B/s";
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

} // namespace

ExitCode aggregateExitCode(const std::vector<ExitCode>& inPortOrder) {
    std::optional<ExitCode> first;
    for (const ExitCode code : inPortOrder) {
        if (code == ExitCode::Complete) {
            continue;
        }
        if (!first) {
            first = code;
        } else if (*first != code) {
            return ExitCode::DevicesDiffer;
        }
    }
    return first.value_or(ExitCode::Complete);
}

std::string_view outcomeName(ExitCode code) {
    switch (code) {
    case ExitCode::Complete:
        return "complete";
    case ExitCode::Failure:
        return "failed";
    case ExitCode::Usage:
        return "not started";
    case ExitCode::FileError:
        return "file error";
    case ExitCode::BadRecord:
        return "bad/changed file";
    case ExitCode::PortError:
        return "port error";
    case ExitCode::NoEraseAnswer:
        return "no erase answer";
    case ExitCode::TrackerHandshake:
        return "handshake failed";
    case ExitCode::IdleTimeout:
        return "silent";
    case ExitCode::Cancelled:
        return "cancelled";
    case ExitCode::DevicesDiffer:
        return "failed";
    case ExitCode::HistoryFailed:
        return "no history";
    case ExitCode::Interrupted:
        return "interrupted";
    }
    return "failed";
}

std::string traceFileName(std::string_view port) {
    std::string name(port.substr(std::min(port.find_first_not_of('/'), port.size())));
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return (name.empty() ? std::string("port") : name) + ".log";
}

std::string liveLine(const DeviceStatus& d, const FileTotals& totals, size_t portWidth) {
    const std::string what = d.ended ? std::string(outcomeName(d.code)) : d.phase;
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%9s records %3d%%  ",
                  of(d.records, totals.records).c_str(), d.percent);
    return padded(d.port, portWidth) + "  " + padded(what, 20) + "  " + numbers + rate(d);
}

std::string progressLine(const DeviceStatus& d, const FileTotals& totals) {
    std::string line = d.port + ": ";
    if (d.ended) {
        line += std::string(outcomeName(d.code)) + ", ";
    } else {
        line += std::to_string(d.percent) + "%, ";
    }
    return line + of(d.records, totals.records) + " records, " + of(d.dataBytes, totals.dataBytes) +
           " data bytes, " + seconds(d.seconds) + " s, " + rate(d);
}

std::string finalTable(const std::vector<DeviceStatus>& devices, const FileTotals& totals) {
    size_t portWidth = 4;
    for (const DeviceStatus& d : devices) {
        portWidth = std::max(portWidth, d.port.size());
    }
    const auto row = [&](std::string_view port, std::string_view outcome, std::string_view records,
                         std::string_view bytes, std::string_view secs) {
        char rest[128];
        std::snprintf(rest, sizeof rest, "  %-16s  %13s  %17s  %7s\n", std::string(outcome).c_str(),
                      std::string(records).c_str(), std::string(bytes).c_str(),
                      std::string(secs).c_str());
        return padded(port, portWidth) + rest;
    };
    std::string table = row("port", "outcome", "records", "data bytes", "seconds");
    for (const DeviceStatus& d : devices) {
        table += row(d.port, outcomeName(d.code), of(d.records, totals.records),
                     of(d.dataBytes, totals.dataBytes), seconds(d.seconds));
    }
    return table;
}

} // namespace quill::cli
