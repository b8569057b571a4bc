// SPDX-License-Identifier: MIT
#include "trace/tracesession.h"

#include "hexfile/filecheck.h"

#include <algorithm>
#include <chrono>

namespace quill {

namespace {

std::string_view deviceName(int16_t deviceType) {
    switch (deviceType) {
    case device_manual:
        return "Manual";
    case device_tracker:
        return "Tracker";
    default:
        return "other";
    }
}

} // namespace

int64_t steadyClockUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TraceSession::TraceSession(Module1& m, MSComm& port, Timer& timer, MessageBoxes& boxes,
                           WaitDialog& wait, TraceClock clock)
    : m_m(m), m_port(port), m_tap(m, std::move(clock), *this), m_comm(port, m_tap),
      m_timer(timer, m_tap), m_boxes(boxes, m_tap), m_wait(wait, m_tap) {
    m_observers.push_back(&m_progress);
}

Context TraceSession::wrap(const Context& inner) {
    return Context{inner.m, m_comm,      m_timer,    m_boxes,
                   m_wait,  inner.file1, inner.form, observe(inner.observer)};
}

DownloadObserver* TraceSession::observe(DownloadObserver* inner) {
    m_inner = inner;
    return this;
}

void TraceSession::downloadEnded(DownloadEnd end) {
    if (m_inner != nullptr) {
        m_inner->downloadEnded(end);
    }
}

void TraceSession::fileChecked(const FileIdentity& identity, const DownloadTotals& totals) {
    m_progress.setTotals(totals);
    const std::string file = identity.known()
                                 ? firmwareLine(m_m.hex_file_name, identity)
                                 : "\"" + m_m.hex_file_name + "\" could not be read to its end";
    m_tap.report(TraceKind::FileChecked, {},
                 file + ", " + std::to_string(totals.records) + " records, " +
                     std::to_string(totals.dataBytes) + " data bytes");
    if (m_inner != nullptr) {
        m_inner->fileChecked(identity, totals);
    }
}

void TraceSession::deviceAnswered() {
    if (m_inner != nullptr) {
        m_inner->deviceAnswered();
    }
}

void TraceSession::beforeFirstByte() {
    if (m_inner != nullptr) {
        m_inner->beforeFirstByte();
    }
}

void TraceSession::addObserver(WireTrace* observer) {
    m_observers.push_back(observer);
}

void TraceSession::removeObserver(WireTrace* observer) {
    std::erase(m_observers, observer);
}

void TraceSession::noteStart() {
    m_progress.setTotals({});
    const std::string text = m_port.portDisplayName() + " " + m_port.settings() + " " +
                             std::string(deviceName(m_m.device_type)) + " \"" + m_m.hex_file_name +
                             "\"";
    m_tap.report(TraceKind::Start, {}, text);
}

// Observers may be added or removed while an event is delivered.
void TraceSession::onTraceEvent(const TraceEvent& event) {
    for (size_t i = 0; i < m_observers.size(); ++i) {
        m_observers[i]->onTraceEvent(event);
    }
}

} // namespace quill
