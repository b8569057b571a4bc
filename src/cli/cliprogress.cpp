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

CliProgress::CliProgress(Console& console, TraceClock clock)
    : m_console(console), m_clock(clock ? std::move(clock) : TraceClock(steadyClockUs)),
      m_phaseUs(m_clock()) {}

int64_t CliProgress::recordsSent() const {
    return m_progress != nullptr ? m_progress->recordsSent() : m_records;
}

void CliProgress::setLblMsgCaption(const std::string& caption) {
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    m_console.message(caption);
    m_phaseUs = m_clock();
}

// Not attached, the bar's value (the share of the file read) is all there
// is. It only grows during a download; the end of a download sets it back
// to 0 before hiding it, which is not shown.
void CliProgress::setPrbValue(float value) {
    if (m_progress != nullptr || !m_visible || value <= m_value) {
        return;
    }
    m_value = value;
    const int percent =
        m_max > 0 ? static_cast<int>(std::min(100.0f, 100.0f * m_value / m_max)) : 100;
    show(percent, m_clock());
}

void CliProgress::onTraceEvent(const TraceEvent& event) {
    if (m_progress == nullptr) {
        return;
    }
    if (event.kind == TraceKind::Start) {
        m_recordsShown = 0;
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
    m_console.status(line(percent, nowUs));
}

std::string CliProgress::line(int percent, int64_t nowUs) const {
    char text[200];
    if (m_progress == nullptr) {
        const double seconds = static_cast<double>(nowUs - m_phaseUs) / 1e6;
        std::snprintf(text, sizeof text, "%3d%%  %" PRId64 " records  %s", percent, m_records,
                      duration(seconds).c_str());
        return text;
    }
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
    if (m_finished || recordsSent() == 0) {
        return;
    }
    m_finished = true;
    char text[200];
    if (m_progress == nullptr) {
        std::snprintf(text, sizeof text, "Sent %" PRId64 " records", m_records);
    } else {
        const DownloadProgress& p = *m_progress;
        const std::optional<double> rate = p.rate();
        std::snprintf(text, sizeof text,
                      "Sent %" PRId64 " of %" PRId64 " records, %" PRId64 " of %" PRId64
                      " data bytes in %.1f s (%s data bytes/s)",
                      p.recordsSent(), p.totals().records, p.dataBytesSent(), p.totals().dataBytes,
                      p.elapsedSeconds(),
                      rate ? std::to_string(static_cast<int64_t>(*rate + 0.5)).c_str() : "?");
    }
    m_console.note(text);
}

} // namespace quill::cli
