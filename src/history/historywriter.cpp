// SPDX-License-Identifier: MIT
#include "history/historywriter.h"

#include "history/historystore.h"
#include "history/historytexts.h"
#include "history/journal.h"
#include "history/threadend.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace quill {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// After a failure the history is tried again after a while, longer each
// time, never longer than the last of these.
constexpr auto firstPause = 250ms;
constexpr auto longestPause = 10s;
// What the writer gives itself when nobody said.
constexpr auto defaultPatience = 5s;

constexpr size_t noRow = static_cast<size_t>(-1);

} // namespace

struct HistoryWriter::State {
    struct Job {
        JournalEntry entry;
        Row row = noRow; // none for an entry taken over from another program
        Fill fill;
        std::function<void()> written;
    };
    struct RowState {
        Attempt begun; // its end is written over what its beginning wrote
        bool beginOnRecord = false;
        bool endGiven = false;
        bool endOnRecord = false;
    };

    HistoryLocation where;
    std::function<void()> failed;
    std::unique_ptr<Journal> journal; // none when it could not be made

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<RowState> rows;
    size_t given = 0; // jobs posted
    size_t done = 0;  // jobs in the history
    std::optional<Clock::time_point> stopAt;
    bool exited = false;
    HistoryStatus failure;
    std::vector<std::string> notes; // what the journal says, not told yet
    std::set<std::string> noted;    // each said once

    // Something of the journal worth saying; `failed` is called, as for a
    // failure, so that it is told.
    void note(const std::string& text) {
        {
            const std::lock_guard lock(mutex);
            if (!noted.insert(text).second) {
                return;
            }
            notes.push_back(text);
        }
        if (failed) {
            failed();
        }
    }

    void fail(const HistoryError& error) {
        {
            const std::lock_guard lock(mutex);
            if (failure) {
                return;
            }
            failure = error;
        }
        if (failed) {
            failed();
        }
    }

    // Posts a job; true when its entry is on the disk.
    bool post(Job job) {
        bool journaled = false;
        if (journal) {
            if (HistoryStatus error = journal->add(job.entry)) {
                note(error->text() + text::JournalGoesDirect);
            } else {
                journaled = true;
            }
        }
        {
            const std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
            ++given;
        }
        wake.notify_all();
        return journaled;
    }

    void run();
    bool apply(HistoryStore& store, Job& job);
    bool pause(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds& length);
};

// The store is made, used and closed on this thread alone (a Qt SQL
// connection belongs to the thread that opened it).
void HistoryWriter::State::run() {
    if (journal) {
        std::vector<std::string> aside;
        std::vector<JournalEntry> left = journal->takeOver(&aside);
        for (const std::string& line : aside) {
            note(line);
        }
        const std::lock_guard lock(mutex);
        for (auto it = left.rbegin(); it != left.rend(); ++it) {
            jobs.push_front(Job{std::move(*it), noRow, {}, {}});
            ++given;
        }
    }
    std::unique_ptr<HistoryStore> store;
    bool fresh = false; // the store was opened for the job at hand
    std::chrono::milliseconds pauseLength = firstPause;
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopAt || !jobs.empty(); });
        if (jobs.empty() || (stopAt && Clock::now() >= *stopAt)) {
            break; // stopped: everything is there, or what is left waits in the journal
        }
        if (!store) {
            lock.unlock();
            auto opened = HistoryStore::open(where);
            lock.lock();
            if (!opened) {
                lock.unlock();
                fail(opened.error());
                lock.lock();
                if (!pause(lock, pauseLength)) {
                    break;
                }
                continue;
            }
            store = std::move(*opened);
            fresh = true;
        }
        Job job = jobs.front();
        lock.unlock();
        const bool applied = apply(*store, job);
        lock.lock();
        if (!applied) {
            // A connection the server ended (a restart) is found dead only
            // now: a new one is tried at once, and only its failure waits.
            store.reset();
            if (!std::exchange(fresh, false)) {
                continue;
            }
            if (!pause(lock, pauseLength)) {
                break;
            }
            continue;
        }
        fresh = false;
        pauseLength = firstPause;
        jobs.pop_front();
        ++done;
        lock.unlock();
        if (journal) {
            journal->remove(job.entry);
        }
        if (job.written) {
            job.written();
        }
        lock.lock();
        wake.notify_all();
    }
    lock.unlock();
    store.reset(); // before anyone hears that the thread is done
    lock.lock();
    exited = true;
    lock.unlock();
    wake.notify_all();
}

bool HistoryWriter::State::apply(HistoryStore& store, Job& job) {
    Attempt a = job.entry.attempt;
    if (job.entry.kind == JournalEntry::Kind::Begin) {
        if (job.fill) {
            job.fill(a);
        }
        const auto id = store.begin(a);
        if (!id) {
            fail(id.error());
        }
        return id.ok();
    }
    HistoryStatus failed = store.end(a);
    if (failed && failed->why.starts_with(text::HistoryNoSuchAttempt) && a.startedMs > 0) {
        // Its beginning never reached the history (its entry was lost or
        // damaged); the end holds the whole row, which goes in whole.
        const auto id = store.begin(a);
        failed = id ? store.end(a) : HistoryStatus{id.error()};
    }
    if (failed) {
        fail(*failed);
    }
    return !failed;
}

// Waits a while before the history is tried again; false when the writer
// is to stop first. A writer asked to finish does not wait on a history
// that has just failed: what is left goes to it next time, from the journal.
bool HistoryWriter::State::pause(std::unique_lock<std::mutex>& lock,
                                 std::chrono::milliseconds& length) {
    wake.wait_for(lock, length, [&] { return stopAt.has_value(); });
    length = std::min<std::chrono::milliseconds>(length * 2, longestPause);
    return !stopAt;
}

HistoryWriter::HistoryWriter(HistoryLocation where, std::function<void()> failed,
                             std::string dataFolder)
    : m_state(std::make_shared<State>()) {
    m_state->where = std::move(where);
    m_state->failed = std::move(failed);
    if (auto journal = Journal::open(m_state->where, dataFolder)) {
        m_state->journal = std::move(*journal);
    } else {
        m_state->note(journal.error().text() + text::JournalGoesDirect);
    }
    HistoryStore::findDrivers();
    m_thread = std::thread([state = m_state] { state->run(); });
}

HistoryWriter::~HistoryWriter() {
    if (!m_finished) {
        finish(defaultPatience);
    }
}

HistoryWriter::Row HistoryWriter::begin(Attempt attempt, Fill fill) {
    if (attempt.key.empty()) { // a key given is that of a row begun with its serial number
        attempt.key = newAttemptKey();
    }
    Row row = 0;
    {
        const std::lock_guard lock(m_state->mutex);
        row = m_state->rows.size();
        m_state->rows.push_back({attempt});
    }
    const bool journaled =
        m_state->post({JournalEntry{JournalEntry::Kind::Begin, std::move(attempt), {}},
                       row,
                       std::move(fill),
                       {}});
    const std::lock_guard lock(m_state->mutex);
    m_state->rows[row].beginOnRecord = journaled;
    return row;
}

Attempt HistoryWriter::begun(Row row) const {
    const std::lock_guard lock(m_state->mutex);
    return row < m_state->rows.size() ? m_state->rows[row].begun : Attempt{};
}

void HistoryWriter::end(Row row, const Attempt& ended, std::function<void()> written) {
    Attempt a;
    {
        const std::lock_guard lock(m_state->mutex);
        if (row >= m_state->rows.size()) {
            return;
        }
        // Whole: what a unit number or an adapter's name the history gave it
        // is kept, since the end writes only what it knows.
        a = m_state->rows[row].begun;
        m_state->rows[row].endGiven = true;
    }
    a.endedMs = ended.endedMs;
    a.recordsSent = ended.recordsSent;
    a.recordsTotal = ended.recordsTotal;
    a.dataBytesSent = ended.dataBytesSent;
    a.dataBytesTotal = ended.dataBytesTotal;
    a.outcome = ended.outcome;
    a.exitCode = ended.exitCode;
    a.lastMessage = ended.lastMessage;
    a.traceFile = ended.traceFile;
    a.serial = ended.serial;
    if (ended.attemptNo) {
        a.attemptNo = ended.attemptNo;
    }
    const bool journaled = m_state->post(
        {JournalEntry{JournalEntry::Kind::End, std::move(a), {}}, row, {}, std::move(written)});
    const std::lock_guard lock(m_state->mutex);
    m_state->rows[row].endOnRecord = journaled;
}

bool HistoryWriter::onRecord(Row row) const {
    const std::lock_guard lock(m_state->mutex);
    if (row >= m_state->rows.size()) {
        return false;
    }
    // What is no longer queued is in the history.
    const State::RowState& r = m_state->rows[row];
    bool beginQueued = false;
    bool endQueued = false;
    for (const State::Job& job : m_state->jobs) {
        if (job.row == row) {
            (job.entry.kind == JournalEntry::Kind::Begin ? beginQueued : endQueued) = true;
        }
    }
    return (r.beginOnRecord || !beginQueued) && (!r.endGiven || r.endOnRecord || !endQueued);
}

HistoryStatus HistoryWriter::sync(std::chrono::milliseconds patience) {
    std::unique_lock lock(m_state->mutex);
    const size_t given = m_state->given;
    const bool there = m_state->wake.wait_for(
        lock, patience, [&] { return m_state->done >= given || m_state->exited; });
    if (there && m_state->done >= given) {
        return {};
    }
    return m_state->failure ? m_state->failure
                            : HistoryError{text::HistoryNotWritten, m_state->where.shown(),
                                           text::HistoryNoAnswer};
}

HistoryStatus HistoryWriter::failure() const {
    const std::lock_guard lock(m_state->mutex);
    return m_state->failure;
}

HistoryWriter::Waiting HistoryWriter::waiting() const {
    const std::lock_guard lock(m_state->mutex);
    std::set<std::string> kept;
    std::set<std::string> lost;
    for (const State::Job& job : m_state->jobs) {
        (job.entry.file.empty() ? lost : kept).insert(job.entry.attempt.key);
    }
    for (const std::string& key : lost) {
        kept.erase(key); // a row is whole only with all its entries
    }
    return {kept.size(), lost.size()};
}

std::vector<std::string> HistoryWriter::takeNotes() {
    const std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->notes, {});
}

bool HistoryWriter::finish(std::chrono::milliseconds patience) {
    if (m_finished) {
        return true;
    }
    m_finished = true;
    std::unique_lock lock(m_state->mutex);
    const auto until = Clock::now() + patience;
    m_state->stopAt = until;
    m_state->wake.notify_all();
    return joinOrLeave(m_thread, std::move(lock), m_state->wake, until + 100ms,
                       [&] { return m_state->exited; });
}

const HistoryLocation& HistoryWriter::location() const {
    return m_state->where;
}

std::string HistoryWriter::journalFolder() const {
    return m_state->journal ? m_state->journal->folder() : std::string();
}

} // namespace quill
