// SPDX-License-Identifier: MIT
#include "cli/cliprogress.h"

#include "trace/tracesession.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace quill::cli {

namespace {

// A terminal's live line is redrawn at most this often, or when the percentage changes.
constexpr int64_t redrawUs = 250'000;

std::string duration(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

void CliProgress::phaseChanged(const std::string& caption) {
    m_console.message(caption);
}

void CliProgress::onTraceEvent(const TraceEvent& event) {
    if (m_progress == nullptr) {
        return;
    }
    if (event.kind == TraceKind::Start) {
        m_recordsShown = 0;
        m_recordsInLine = 0;
        m_shownPercent = -1;
        m_nextQuarter = 25;
        m_finished = false;
        return;
    }
    if (m_progress->recordsSent() != m_recordsShown) {
        m_recordsShown = m_progress->recordsSent();
        show(m_progress->percent(), event.atUs);
    }
}

void CliProgress::show(int percent, int64_t nowUs) {
    if (m_console.terminal()) {
        if (percent == m_shownPercent && nowUs - m_shownAtUs < redrawUs) {
            return;
        }
        m_shownAtUs = nowUs;
    } else if (percent < m_nextQuarter) {
        return;
    } else {
        m_nextQuarter = (percent / 25 + 1) * 25;
    }
    m_shownPercent = percent;
    m_recordsInLine = m_progress->recordsSent();
    m_console.status(line(percent));
}

std::string CliProgress::line(int percent) const {
    char text[200];
    const DownloadProgress& p = *m_progress;
    const std::optional<double> rate = p.rate();
    const std::optional<double> left = p.secondsLeft();
    std::snprintf(text, sizeof text,
                  "%3d%%  %" PRId64 "/%" PRId64 " records  %" PRId64 "/%" PRId64
                  " data bytes  %s  %s bytes/s  %s left",
                  percent, p.recordsSent(), p.totals().records, p.dataBytesSent(),
                  p.totals().dataBytes, duration(p.elapsedSeconds()).c_str(),
                  rate ? std::to_string(static_cast<int64_t>(*rate + 0.5)).c_str() : "?",
                  left ? duration(*left).c_str() : "?");
    return text;
}

void CliProgress::finish() {
    if (m_finished || m_progress == nullptr || m_progress->recordsSent() == 0) {
        return;
    }
    m_finished = true;
    const DownloadProgress& p = *m_progress;
    // The last line shown may be older than the last record.
    if (m_recordsInLine != p.recordsSent()) {
        m_shownPercent = p.percent();
        m_recordsInLine = p.recordsSent();
        m_console.status(line(p.percent()));
    }
    const std::optional<double> rate = p.rate();
    char text[200];
    std::snprintf(text, sizeof text,
                  "Sent %" PRId64 " of %" PRId64 " records, %" PRId64 " of %" PRId64
                  " data bytes in %.1f s (%s data bytes/s)",
                  p.recordsSent(), p.totals().records, p.dataBytesSent(), p.totals().dataBytes,
                  p.elapsedSeconds(),
                  rate ? std::to_string(static_cast<int64_t>(*rate + 0.5)).c_str() : "?");
    m_console.note(text);
}

} // namespace quill::cli
