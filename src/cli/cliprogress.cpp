// SPDX-License-Identifier: MIT
#include "cli/cliprogress.h"

#include <algorithm>
#include <cstdio>

namespace quill::cli {

namespace {

// A terminal's live line is redrawn at most this often, or when the percentage changes.
constexpr qint64 redrawMs = 250;

std::string duration(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

void CliProgress::setLblMsgCaption(const std::string& caption) {
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    m_console.message(caption);
    m_clock.start();
}

// The bar only grows during a download; the end of a download sets it back
// to 0 before hiding it, which is not shown.
void CliProgress::setPrbValue(float value) {
    if (!m_visible || value <= m_value) {
        return;
    }
    m_value = value;
    const int percent =
        m_max > 0 ? static_cast<int>(std::min(100.0f, 100.0f * m_value / m_max)) : 100;
    if (m_console.terminal()) {
        const qint64 now = m_clock.elapsed();
        if (percent == m_shownPercent && now - m_shownAt < redrawMs) {
            return;
        }
        m_shownAt = now;
    } else if (percent < m_nextQuarter) {
        return;
    } else {
        m_nextQuarter = (percent / 25 + 1) * 25;
    }
    m_shownPercent = percent;
    m_console.status(line(percent));
}

std::string CliProgress::line(int percent) const {
    const double seconds = static_cast<double>(m_clock.elapsed()) / 1000.0;
    const double rate = seconds > 0 ? m_value / seconds : 0;
    char text[160];
    std::snprintf(text, sizeof text, "%3d%%  %lld records  %.0f bytes/s  %s left", percent,
                  static_cast<long long>(m_records), rate,
                  rate > 0 ? duration((m_max - m_value) / rate).c_str() : "?");
    return text;
}

} // namespace quill::cli
