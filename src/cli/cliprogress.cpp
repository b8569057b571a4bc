// SPDX-License-Identifier: MIT
#include "cli/cliprogress.h"

#include <cinttypes>
#include <cstdio>

namespace quill::cli {

namespace {

std::string duration(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string rounded(const std::optional<double>& value) {
    return value ? std::to_string(static_cast<int64_t>(*value + 0.5)) : "?";
}

std::string line(const DeviceReport& d) {
    const Progress& p = d.progress;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%3d%%  %" PRId64 "/%" PRId64 " records  %" PRId64 "/%" PRId64
                  " data bytes  %s  %s bytes/s  %s left",
                  p.percent, p.records, d.totals.records, p.dataBytes, d.totals.dataBytes,
                  duration(p.seconds).c_str(), rounded(p.rate).c_str(),
                  p.secondsLeft ? duration(*p.secondsLeft).c_str() : "?");
    return text;
}

} // namespace

void CliProgress::show(const DeviceReport& d) {
    if (d.progress.records == m_recordsInLine) {
        return;
    }
    // A terminal's line is redrawn as often as the device tells its
    // progress (at each percent, and a few times a second at most between).
    if (!m_console.terminal()) {
        if (d.progress.percent < m_nextQuarter) {
            return;
        }
        m_nextQuarter = (d.progress.percent / 25 + 1) * 25;
    }
    m_recordsInLine = d.progress.records;
    m_console.status(line(d));
}

void CliProgress::finish(const DeviceReport& d) {
    const Progress& p = d.progress;
    if (m_finished || p.records == 0) {
        return;
    }
    m_finished = true;
    // The last line shown may be older than the last record.
    if (m_recordsInLine != p.records) {
        m_recordsInLine = p.records;
        m_console.status(line(d));
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "Sent %" PRId64 " of %" PRId64 " records, %" PRId64 " of %" PRId64
                  " data bytes in %.1f s (%s data bytes/s)",
                  p.records, d.totals.records, p.dataBytes, d.totals.dataBytes, p.seconds,
                  rounded(p.rate).c_str());
    m_console.note(text);
}

} // namespace quill::cli
