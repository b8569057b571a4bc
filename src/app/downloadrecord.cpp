// SPDX-License-Identifier: MIT
#include "app/downloadrecord.h"

#include "history/historytexts.h"
#include "port/portcontrol.h"
#include "runner/runplan.h"
#include "shared/module1.h"

#include <QMetaObject>

#include <cstdio>

namespace quill {

DownloadRecord::DownloadRecord(const Module1& m, TraceSession& session, const SettingsStore& store,
                               PortResolver resolver)
    : m_m(m), m_session(session), m_resolver(std::move(resolver)),
      // Said once, on standard error, as the trace's failures are: the
      // window shows no box for what does not stop a download.
      m_keeper(text::WindowProgram, {}, store, {},
               [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }) {
    m_session.addObserver(this);
}

DownloadRecord::~DownloadRecord() {
    m_session.removeObserver(this);
}

void DownloadRecord::noteStart(const std::string& traceFile) {
    // A download still running ends first, as superseded, with what it had sent.
    if (!m_open.empty()) {
        takeProgress(m_open.back().report);
    }
    Open started;
    DeviceReport& d = started.report;
    d.port = "COM" + std::to_string(m_m.com_port);
    d.devicePath = resolvedDevice(devicePath(m_resolver(m_m.com_port)));
    if (is_valid_baud(m_m.baud_rate)) {
        d.baud = m_m.baud_rate;
    }
    d.deviceType = m_m.device_type;
    d.file = m_m.hex_file_name;
    d.traceFile = traceFile;
    d.unitKey = newAttemptKey();
    m_open.push_back(std::move(started));
}

// Before the device hears a byte: the row begins, naming the bytes checked.
void DownloadRecord::fileChecked(const FileIdentity& identity, const DownloadTotals& totals) {
    if (m_open.empty()) {
        return;
    }
    Open& running = m_open.back();
    running.report.identity = identity;
    running.report.totals = totals;
    running.report.serial = m_serial;
    running.row = m_keeper.begin(running.report);
    if (m_checked) {
        m_checked(running.report.file, identity);
    }
}

void DownloadRecord::setSerial(std::string serial) {
    if (!m_open.empty()) {
        m_open.back().report.serial = serial;
    }
    m_serial = std::move(serial);
}

Attempt DownloadRecord::attemptFor() const {
    if (m_open.empty()) {
        return m_keeper.attemptFor(std::nullopt, {});
    }
    return m_keeper.attemptFor(m_open.back().row, m_open.back().report);
}

void DownloadRecord::takeProgress(DeviceReport& report) const {
    const std::string phase = report.progress.phase;
    report.progress = m_session.progress().snapshot();
    report.progress.phase = phase;
}

// Told before the message that says how it ended: that message, when one
// comes at once, is the row's last. Ends that say nothing are written now.
void DownloadRecord::downloadEnded(DownloadEnd end) {
    if (m_open.empty()) {
        return;
    }
    Open ended = std::move(m_open.front());
    m_open.pop_front();
    if (m_open.empty()) { // else its counts were taken when the next began
        takeProgress(ended.report);
    }
    ended.report.outcome = m_endAs.value_or(outcomeOf(end));
    m_endAs.reset();
    if (end == DownloadEnd::Superseded || end == DownloadEnd::Interrupted ||
        end == DownloadEnd::Cancelled) {
        write(std::move(ended));
        return;
    }
    m_ending = std::move(ended);
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            if (m_ending) {
                write(std::move(*m_ending));
                m_ending.reset();
            }
        },
        Qt::QueuedConnection);
}

void DownloadRecord::onTraceEvent(const TraceEvent& event) {
    // The first byte written is the first the device hears: the attempt
    // reached its unit.
    if (event.kind == TraceKind::Written && !m_open.empty() && !m_open.back().report.attemptNo) {
        Open& running = m_open.back();
        running.report.attemptNo = 1;
        if (running.row) {
            m_keeper.reached(*running.row, running.report);
        }
    }
    if (event.kind != TraceKind::BoxShown && event.kind != TraceKind::WaitReport) {
        return;
    }
    if (m_ending) {
        m_ending->report.addMessage(std::string(event.text));
        write(std::move(*m_ending));
        m_ending.reset();
    } else if (!m_open.empty()) {
        m_open.back().report.addMessage(std::string(event.text));
    }
}

void DownloadRecord::write(Open ended) {
    if (!ended.row) {
        ended.row = m_keeper.begin(ended.report); // it ended before its file was checked
    }
    m_keeper.end(*ended.row, ended.report);
}

} // namespace quill
