// SPDX-License-Identifier: MIT
#include "cli/clirecord.h"

#include "cli/clitexts.h"
#include "history/historytexts.h"
#include "qt/portscan.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>

namespace quill::cli {

namespace {

// Where the adapter has them, its /dev/serial/by-id name and USB serial
// number: looked up on the writer's thread, since asking the system for
// its ports takes a while.
void findAdapter(Attempt& a) {
    if (const auto port = detectedPort(a.devicePath)) {
        a.byId = port->byIdPath;
        a.usbSerial = port->serialNumber;
    }
}

} // namespace

HistoryResult<HistoryLocation> historyLocation(const CliOptions& options,
                                               const SettingsStore& store) {
    return historyAt(!options.historyUrl.empty() ? options.historyUrl
                                                 : store.GetSetting(quill::text::SectionHistory,
                                                                    quill::text::KeyHistoryUrl));
}

CliRecord::CliRecord(const CliOptions& options, const SettingsStore& store, Say say, Say note)
    : m_options(options), m_firstSay(say), m_say(std::move(say)), m_note(std::move(note)) {
    const auto where = historyLocation(options, store);
    if (!where) {
        m_notUnderstood = where.error();
        QMetaObject::invokeMethod(
            &m_main, [this] { tell(); }, Qt::QueuedConnection);
        return;
    }
    m_writer = std::make_unique<HistoryWriter>(*where, [this] {
        QMetaObject::invokeMethod(
            &m_main, [this] { tell(); }, Qt::QueuedConnection);
    });
}

CliRecord::~CliRecord() {
    if (m_writer) {
        m_writer->sync();
    }
    tell();
    m_writer.reset(); // before the object its failures are posted to
}

void CliRecord::setSay(Say say) {
    m_say = say ? std::move(say) : m_firstSay;
}

// Once, on this thread, whenever the writer found out.
void CliRecord::tell() {
    const HistoryStatus failure = m_notUnderstood ? m_notUnderstood : m_writer->failure();
    if (!m_told && failure) {
        m_told = true;
        m_say(failure->text() + quill::text::HistoryGoesOn);
    }
}

bool CliRecord::identify(const std::string& file) {
    m_file = file;
    const auto identity = fileIdentity(file);
    m_identity = identity ? *identity : FileIdentity{};
    if (!identity) {
        return true; // the download says why it cannot be read
    }
    if (const std::string line = firmwareLine(file, m_identity); line != m_shownIdentity) {
        m_shownIdentity = line;
        m_note(line);
    }
    if (!m_options.expectSha256.empty() && m_options.expectSha256 != m_identity.sha256) {
        m_say(std::string(text::NotExpectedFirmware) + '\r' + text::ExpectedSha256 +
              m_options.expectSha256 + '\r' + text::FileSha256 + m_identity.sha256);
        return false;
    }
    return true;
}

std::string CliRecord::traceSubject() const {
    return m_identity.sha256.empty() ? std::string() : firmwareLine(m_file, m_identity);
}

CliRecord::Row CliRecord::begin(const RunResult& device, const std::string& traceFile) {
    if (!m_writer) {
        return 0;
    }
    Attempt a = newAttempt(text::ProgramName, m_options.operatorName);
    a.port = device.port;
    a.devicePath = device.devicePath;
    a.baud = device.baud;
    a.device = device.device;
    a.filePath = m_file;
    if (!m_identity.sha256.empty()) {
        a.fileSize = m_identity.size;
        a.sha256 = m_identity.sha256;
    }
    a.traceFile = traceFile;
    a.batch = m_options.batch;
    return m_writer->begin(std::move(a), findAdapter);
}

bool CliRecord::required() {
    if (!m_options.requireHistory) {
        return true;
    }
    const HistoryStatus failure = m_notUnderstood ? m_notUnderstood : m_writer->sync();
    if (failure) {
        m_told = true;
        m_say(failure->text() + '\r' + text::HistoryRequired);
    }
    return !failure;
}

void CliRecord::end(Row row, const RunResult& result, const std::string& traceFile) {
    if (!m_writer) {
        return;
    }
    Attempt ended;
    ended.endedMs = QDateTime::currentMSecsSinceEpoch();
    ended.recordsSent = result.recordsSent;
    ended.recordsTotal = result.recordsTotal;
    ended.dataBytesSent = result.dataBytesSent;
    ended.dataBytesTotal = result.dataBytesTotal;
    ended.outcome = result.outcome;
    ended.exitCode = result.exitCode;
    // The lines of one message are joined by line breaks, as the console shows them.
    ended.lastMessage = result.messages.empty() ? std::string() : result.messages.back();
    std::replace(ended.lastMessage.begin(), ended.lastMessage.end(), '\r', '\n');
    ended.traceFile = traceFile;
    m_writer->end(row, ended);
}

} // namespace quill::cli
