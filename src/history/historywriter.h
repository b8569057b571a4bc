// SPDX-License-Identifier: MIT
#pragma once
// The history written on a thread of its own, so that a download never
// waits for the disk or the network, and through the journal, so that
// nothing is lost when the history cannot take a row. Each beginning and
// each end is in the journal (journal.h) before the call returns; the
// thread takes the entries to the history in the order given, reconnects
// and tries again after a while when the history fails (a lock held for
// long, a server restarted, a full disk), and removes each entry once it is
// there. The entries a program left behind are taken over at the start.
// The first failure is kept, and `failed` is called once, on the writer's
// thread, when it happens; whoever shows it takes it with failure().
//
//     HistoryWriter writer(where, [] { /* post to the thread that tells */ });
//     const auto row = writer.begin(attempt);   // on the disk when it returns
//     ...
//     writer.end(row, ended);                   // the same
//     writer.finish(5s);                        // what is not there by then waits in the journal
//
// A history that never answers (a frozen server) holds the thread, never
// the caller: finish() leaves it behind when its time is up, and says so.

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quill {

class HistoryWriter {
  public:
    using Row = size_t; // an attempt begun through this writer
    // Fills in, on the writer's thread and before the row goes to the
    // history, what takes time to find out.
    using Fill = std::function<void(Attempt&)>;

    // `dataFolder`: where the journal is kept (empty: the user's data folder).
    HistoryWriter(HistoryLocation where, std::function<void()> failed, std::string dataFolder = {});
    // finish() with the time it gives by default.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    Row begin(Attempt attempt, Fill fill = {});
    // The row as `ended` says it ended: its end time, counts, outcome, exit
    // code and last message, its trace file when it names one, and its
    // attempt number once its device was reached.
    // `written` runs on the writer's thread once the row is in the history.
    void end(Row row, const Attempt& ended, std::function<void()> written = {});
    // The row as it was begun (its key set); empty for a row not begun here.
    Attempt begun(Row row) const;
    // The row's beginning and, once given, its end are on record: on the
    // disk in the journal, or in the history.
    bool onRecord(Row row) const;
    // Waits until everything given so far is in the history, at most
    // `patience`; the failure that keeps it out, if any.
    HistoryStatus sync(std::chrono::milliseconds patience);
    // The first failure; nothing while all went well.
    HistoryStatus failure() const;
    // The rows not in the history yet: kept in the journal, and held in
    // memory alone (the journal could not take them), lost if the program
    // ends now.
    struct Waiting {
        size_t kept = 0;
        size_t notRecorded = 0;
    };
    Waiting waiting() const;
    // What the journal had to say since the last call (it cannot be used,
    // an entry was kept aside), one line each; `failed` is called for them
    // too.
    std::vector<std::string> takeNotes();
    // Stops once everything given is in the history, or when `patience`
    // has passed: what is left then waits in the journal. False when the
    // thread was left behind, stuck in the history; the program should then
    // end without waiting for it.
    bool finish(std::chrono::milliseconds patience);
    const HistoryLocation& location() const;
    // Where the journal is; empty when it could not be made.
    std::string journalFolder() const;

    struct State; // shared with the thread, which may outlive this writer

  private:
    std::shared_ptr<State> m_state;
    std::thread m_thread;
    bool m_finished = false;
};

} // namespace quill
