// SPDX-License-Identifier: MIT
#include "runner/recordkeeper.h"

#include "history/historylocation.h"
#include "history/historytexts.h"
#include "history/journal.h"
#include "qt/portscan.h"
#include "runner/runnertexts.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>

namespace quill {

namespace {

using namespace std::chrono_literals;

// A program ends at most this long after its last download: what the
// history has not taken by then waits in the journal.
constexpr auto finishPatience = 5s;

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

RecordKeeper::RecordKeeper(std::string program, std::string operatorName,
                           const SettingsStore& settings, const std::string& url, Say say)
    : m_program(std::move(program)), m_operator(std::move(operatorName)), m_firstSay(say),
      m_say(std::move(say)) {
    const auto where = historyLocation(settings, url);
    if (!where) {
        m_notUnderstood = where.error();
        m_context.post([this] { tell(); });
        return;
    }
    m_writer =
        std::make_unique<HistoryWriter>(*where, [this] { m_context.post([this] { tell(); }); });
}

RecordKeeper::~RecordKeeper() {
    finish();
    m_writer.reset(); // before the object its failures are posted to
}

bool RecordKeeper::finish() {
    if (m_finished || !m_writer) {
        return true;
    }
    m_finished = true;
    const bool done = m_writer->finish(finishPatience);
    tell();
    const HistoryWriter::Waiting left = m_writer->waiting();
    if (left.kept > 0 && m_say) {
        m_say(std::to_string(left.kept) + (left.kept == 1 ? text::RowWaits : text::RowsWait) +
              m_writer->location().shown() + text::WaitInJournal + m_writer->journalFolder() +
              text::TakenNextTime);
    }
    // Entries kept aside are said until a person has dealt with them (the
    // run that put them there said why).
    const size_t aside = Journal::waiting(m_writer->location()).keptAside;
    if (aside > 0 && !m_notesSaid && m_say) {
        m_say(std::to_string(aside) + (aside == 1 ? text::EntryKeptAside : text::EntriesKeptAside) +
              Journal::folderOf(m_writer->location()) + '/' + Journal::KeptAsideName +
              text::KeptAsideLook);
    }
    // Held in memory alone, they end with the program.
    if (left.notRecorded > 0 && m_say) {
        m_say(std::to_string(left.notRecorded) +
              (left.notRecorded == 1 ? text::RowNotRecorded : text::RowsNotRecorded) +
              m_writer->location().shown() + text::NorToJournal);
    }
    return done;
}

void RecordKeeper::setSay(Say say) {
    m_say = say ? std::move(say) : m_firstSay;
}

// Once, on this thread, whenever the writer found out.
void RecordKeeper::tell() {
    if (m_writer) {
        for (const std::string& note : m_writer->takeNotes()) {
            m_notesSaid = true;
            if (m_say) {
                m_say(note);
            }
        }
    }
    const HistoryStatus failure = m_notUnderstood ? m_notUnderstood : m_writer->failure();
    if (!m_told && failure) {
        m_told = true;
        // Where its rows are: in the journal, or (with no journal, or one
        // that could not take them) nowhere but in memory.
        const bool kept =
            m_writer && !m_writer->journalFolder().empty() && m_writer->waiting().notRecorded == 0;
        if (m_say) {
            m_say(failure->text() + (kept ? text::HistoryGoesOnJournal : text::HistoryGoesOn));
        }
    }
}

Attempt RecordKeeper::attemptOf(const DeviceReport& d) const {
    Attempt a = newAttempt(m_program, m_operator);
    a.port = d.port;
    a.devicePath = d.devicePath;
    a.baud = d.baud;
    a.device = deviceKindName(d.deviceType);
    a.filePath = d.file;
    if (d.identity.known()) {
        a.fileSize = d.identity.size;
        a.sha256 = d.identity.sha256;
    }
    a.traceFile = d.traceFile;
    a.batch = d.batch;
    a.serial = d.serial;
    a.unitKey = d.unitKey;
    a.attemptNo = d.attemptNo;
    a.recipe = d.recipe;
    a.workOrder = d.workOrder;
    return a;
}

Attempt RecordKeeper::attemptFor(std::optional<Row> row, const DeviceReport& d) const {
    Attempt a = attemptOf(d);
    if (m_writer && row) {
        const Attempt begun = m_writer->begun(*row);
        a.key = begun.key;
        a.startedMs = begun.startedMs;
    }
    if (a.key.empty()) {
        a.key = newAttemptKey();
    }
    return a;
}

RecordKeeper::Row RecordKeeper::begin(const DeviceReport& d, std::optional<int64_t> batchUnit) {
    if (!m_writer) {
        return 0;
    }
    Attempt a = attemptOf(d);
    a.unit = batchUnit;
    return m_writer->begin(std::move(a), findAdapter);
}

void RecordKeeper::end(Row row, const DeviceReport& d, std::function<void()> written) {
    if (!m_writer) {
        return;
    }
    const Outcome outcome = d.outcome.value_or(Outcome::Failure);
    Attempt ended;
    ended.endedMs = QDateTime::currentMSecsSinceEpoch();
    ended.recordsSent = d.progress.records;
    ended.recordsTotal = d.totals.records;
    ended.dataBytesSent = d.progress.dataBytes;
    ended.dataBytesTotal = d.totals.dataBytes;
    ended.outcome = outcomeName(outcome);
    ended.exitCode = toInt(exitCodeOf(outcome));
    ended.lastMessage = d.lastMessage();
    ended.traceFile = d.traceFile;
    ended.serial = d.serial;
    ended.attemptNo = d.attemptNo;
    m_writer->end(row, ended, std::move(written));
}

void RecordKeeper::reached(Row row, const DeviceReport& d) {
    if (!m_writer) {
        return;
    }
    Attempt running;
    running.recordsSent = d.progress.records;
    running.recordsTotal = d.totals.records;
    running.dataBytesSent = d.progress.dataBytes;
    running.dataBytesTotal = d.totals.dataBytes;
    running.outcome = outcomeName(Outcome::Unfinished);
    running.traceFile = d.traceFile;
    running.serial = d.serial;
    running.attemptNo = d.attemptNo;
    m_writer->end(row, running);
}

bool RecordKeeper::onRecord(Row row) {
    if (m_writer && m_writer->onRecord(row)) {
        return true;
    }
    HistoryStatus failure = m_notUnderstood;
    // In short looks, so that a signal ends the wait at once.
    const auto until = std::chrono::steady_clock::now() + finishPatience;
    while (m_writer && !m_signalled()) {
        if (!(failure = m_writer->sync(100ms))) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            break;
        }
    }
    if (m_signalled()) {
        return false; // the signal says how the run ends
    }
    m_told = true;
    if (m_say) {
        m_say(failure->text() + '\r' + text::HistoryRequired);
    }
    return false;
}

} // namespace quill
