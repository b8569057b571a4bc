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
std::string rate(const DeviceReport& d) {
    if (!d.progress.rate) {
        return "- B/s";
    }
    return std::to_string(static_cast<int64_t>(*d.progress.rate + 0.5)) + " B/s";
}

// How the device ended, or the phase it is in.
std::string_view state(const DeviceReport& d) {
    return d.outcome ? outcomeShortWords(*d.outcome) : std::string_view(d.progress.phase);
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

} // namespace

std::string liveLine(const DeviceReport& d, size_t portWidth) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%9s records %3d%%  ",
                  of(d.progress.records, d.totals.records).c_str(), d.progress.percent);
    return padded(d.port, portWidth) + "  " + padded(state(d), 20) + "  " + numbers + rate(d) +
           (d.serial.empty() ? "" : "  #" + d.serial);
}

std::string progressLine(const DeviceReport& d) {
    std::string line = d.port + (d.serial.empty() ? "" : " #" + d.serial) + ": ";
    if (d.outcome) {
        line += std::string(outcomeShortWords(*d.outcome)) + ", ";
    } else {
        line += std::to_string(d.progress.percent) + "%, ";
    }
    return line + of(d.progress.records, d.totals.records) + " records, " +
           of(d.progress.dataBytes, d.totals.dataBytes) + " data bytes, " +
           seconds(d.progress.seconds) + " s, " + rate(d);
}

std::string finalTable(const std::vector<DeviceReport>& devices) {
    size_t portWidth = 4;
    for (const DeviceReport& d : devices) {
        portWidth = std::max(portWidth, d.port.size());
    }
    // A serial number column only when units got one.
    const bool serials = std::any_of(devices.begin(), devices.end(),
                                     [](const DeviceReport& d) { return !d.serial.empty(); });
    const auto row = [&](std::string_view port, std::string_view outcome, std::string_view records,
                         std::string_view bytes, std::string_view secs, std::string_view serial) {
        char rest[128];
        std::snprintf(rest, sizeof rest, "  %-16s  %13s  %17s  %7s", std::string(outcome).c_str(),
                      std::string(records).c_str(), std::string(bytes).c_str(),
                      std::string(secs).c_str());
        return padded(port, portWidth) + rest + (serials ? "  " + std::string(serial) : "") + "\n";
    };
    std::string table = row("port", "outcome", "records", "data bytes", "seconds", "serial");
    for (const DeviceReport& d : devices) {
        table += row(d.port, state(d), of(d.progress.records, d.totals.records),
                     of(d.progress.dataBytes, d.totals.dataBytes), seconds(d.progress.seconds),
                     d.serial);
    }
    return table;
}

} // namespace quill::cli
