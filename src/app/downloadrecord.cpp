// SPDX-License-Identifier: MIT
#include "app/downloadrecord.h"

#include "history/historytexts.h"
#include "history/sha256.h"
#include "port/portcontrol.h"
#include "qt/portscan.h"
#include "run/outcome.h"
#include "run/runresult.h"
#include "shared/module1.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace quill {

namespace {

// Said once, on standard error, as the trace's failures are: the window
// shows no box for what does not stop a download.
void complain(const HistoryError& error) {
    std::fprintf(stderr, "%s%s\n", error.text().c_str(), text::HistoryGoesOn);
}

// The device behind the port, links followed, and where the adapter has
// them its /dev/serial/by-id name and USB serial number: looked up on the
// writer's thread, since asking the system for its ports takes a while.
void findDevice(Attempt& a) {
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(a.devicePath, ec);
    if (!ec) {
        a.devicePath = device.string();
    }
    if (const auto port = detectedPort(a.devicePath)) {
        a.byId = port->byIdPath;
        a.usbSerial = port->serialNumber;
    }
}

} // namespace

DownloadRecord::DownloadRecord(const Module1& m, TraceSession& session, const SettingsStore& store,
                               PortResolver resolver)
    : m_m(m), m_session(session), m_resolver(std::move(resolver)) {
    const auto where = historyAt(store.GetSetting(text::SectionHistory, text::KeyHistoryUrl));
    if (!where) {
        complain(where.error());
    } else {
        m_writer =
            std::make_unique<HistoryWriter>(*where, [this] { complain(*m_writer->failure()); });
    }
    m_session.addObserver(this);
}

DownloadRecord::~DownloadRecord() {
    m_session.removeObserver(this);
    m_writer.reset(); // writes what was given
}

const HistoryLocation* DownloadRecord::location() const {
    return m_writer ? &m_writer->location() : nullptr;
}

std::string DownloadRecord::identify() {
    m_file = m_m.hex_file_name;
    const auto identity = fileIdentity(m_file);
    m_sha256 = identity ? identity->sha256 : std::string();
    m_size = identity ? identity->size : 0;
    return identity ? firmwareLine(m_file, *identity) : std::string();
}

void DownloadRecord::noteStart(const std::string& traceFile) {
    // A download still running ends first, as superseded, with what it had sent.
    if (!m_open.empty()) {
        takeProgress(m_open.back().second);
    }
    Attempt a = newAttempt(text::WindowProgram, {});
    a.port = "COM" + std::to_string(m_m.com_port);
    a.devicePath = devicePath(m_resolver(m_m.com_port));
    if (is_valid_baud(m_m.baud_rate)) {
        a.baud = m_m.baud_rate;
    }
    a.device = deviceKindName(m_m.device_type);
    a.filePath = m_file;
    if (!m_sha256.empty()) {
        a.sha256 = m_sha256;
        a.fileSize = m_size;
    }
    a.traceFile = traceFile;
    const HistoryWriter::Row row = m_writer ? m_writer->begin(a, findDevice) : 0;
    m_open.emplace_back(row, std::move(a));
}

void DownloadRecord::takeProgress(Attempt& a) const {
    const DownloadProgress& p = m_session.progress();
    a.recordsSent = p.recordsSent();
    a.recordsTotal = p.totals().records;
    a.dataBytesSent = p.dataBytesSent();
    a.dataBytesTotal = p.totals().dataBytes;
}

// Told before the message that says how it ended: that message, when one
// comes at once, is the row's last. Ends that say nothing are written now.
void DownloadRecord::downloadEnded(DownloadEnd end) {
    if (m_open.empty()) {
        return;
    }
    auto ended = std::move(m_open.front());
    m_open.pop_front();
    Attempt& a = ended.second;
    if (m_open.empty()) { // else its counts were taken when the next began
        takeProgress(a);
    }
    a.endedMs = QDateTime::currentMSecsSinceEpoch();
    a.outcome = endName(end);
    a.exitCode = toInt(exitCodeFor(end));
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
    if (event.kind != TraceKind::BoxShown && event.kind != TraceKind::WaitReport) {
        return;
    }
    if (m_ending) {
        m_ending->second.lastMessage = event.text;
        write(std::move(*m_ending));
        m_ending.reset();
    } else if (!m_open.empty()) {
        m_open.back().second.lastMessage = event.text;
    }
}

void DownloadRecord::write(std::pair<HistoryWriter::Row, Attempt> ended) {
    if (!m_writer) {
        return;
    }
    std::string& message = ended.second.lastMessage;
    std::replace(message.begin(), message.end(), '\r', '\n');
    while (message.ends_with('\n')) {
        message.pop_back();
    }
    m_writer->end(ended.first, ended.second, [this] {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                if (m_recorded) {
                    m_recorded();
                }
            },
            Qt::QueuedConnection);
    });
}

std::string DownloadRecord::fileTip(const std::string& path) {
    const auto identity = fileIdentity(path);
    return identity ? firmwareLine(path, *identity) : identity.error().text();
}

} // namespace quill
