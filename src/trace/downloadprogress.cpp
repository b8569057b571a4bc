// SPDX-License-Identifier: MIT
#include "trace/downloadprogress.h"

#include "shared/module1.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace quill {

namespace {

bool startsRecord(std::string_view line) {
    return !line.empty() && line.front() == ':';
}

} // namespace

void DownloadProgress::onTraceEvent(const TraceEvent& event) {
    m_nowUs = event.atUs;
    switch (event.kind) {
    case TraceKind::Start:
        m_recordsSent = 0;
        m_dataSent = 0;
        m_eraseUs.reset();
        m_readyUs.reset();
        m_lastRecordUs.reset();
        m_endUs.reset();
        break;
    case TraceKind::State:
        m_state = static_cast<int16_t>(event.value);
        if (m_state == cs_flash_erase) {
            m_eraseUs = event.atUs;
            m_readyUs.reset();
            m_endUs.reset();
        } else if (m_eraseUs && !m_endUs && (m_state == cs_file_done || m_state == cs_off)) {
            m_endUs = event.atUs;
        }
        break;
    case TraceKind::Received:
        // The batch that holds the XON after the erase; the first record
        // follows within it.
        if (m_state == cs_program_ready) {
            m_readyUs = event.atUs;
        }
        break;
    case TraceKind::Written: {
        const std::string_view text(reinterpret_cast<const char*>(event.bytes.data()),
                                    event.bytes.size());
        if (m_state != cs_record_download || !startsRecord(text)) {
            break;
        }
        ++m_recordsSent;
        m_dataSent += recordDataBytes(m_table, text);
        m_lastRecordUs = event.atUs;
        if (!m_readyUs) {
            m_readyUs = event.atUs;
        }
        break;
    }
    default:
        break;
    }
}

double DownloadProgress::elapsedSeconds() const {
    if (!m_eraseUs) {
        return 0.0;
    }
    return static_cast<double>(m_endUs.value_or(m_nowUs) - *m_eraseUs) / 1e6;
}

// From the device's ready signal to the latest event, or, once the download
// has ended, to its last record: what the device says after that is no
// part of the transfer.
std::optional<double> DownloadProgress::rate() const {
    if (!m_readyUs || !m_lastRecordUs || m_dataSent == 0) {
        return std::nullopt;
    }
    const int64_t us = (m_endUs ? *m_lastRecordUs : m_nowUs) - *m_readyUs;
    if (us <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(m_dataSent) * 1e6 / static_cast<double>(us);
}

std::optional<double> DownloadProgress::secondsLeft() const {
    const std::optional<double> r = rate();
    if (!r) {
        return std::nullopt;
    }
    const int64_t left = std::max<int64_t>(0, m_totals.dataBytes - m_dataSent);
    return static_cast<double>(left) / *r;
}

int DownloadProgress::percent() const {
    const auto share = [](int64_t done, int64_t total) {
        return static_cast<int>(std::min<int64_t>(100, done * 100 / total));
    };
    if (m_totals.dataBytes > 0) {
        return share(m_dataSent, m_totals.dataBytes);
    }
    if (m_totals.records > 0) {
        return share(m_recordsSent, m_totals.records);
    }
    return 0;
}

Progress DownloadProgress::snapshot() const {
    Progress p;
    p.records = m_recordsSent;
    p.dataBytes = m_dataSent;
    p.percent = percent();
    p.seconds = elapsedSeconds();
    p.rate = rate();
    p.secondsLeft = secondsLeft();
    return p;
}

} // namespace quill
