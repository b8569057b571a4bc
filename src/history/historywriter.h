// SPDX-License-Identifier: MIT
#pragma once
// The history written on a thread of its own, so that a download never
// waits for the disk or the network: the history is opened there as the
// writer is made, and attempts are begun and ended there in the order
// given. What cannot be written is kept as the first failure, and
// `failed` is called once, on the writer's thread, when it happens;
// whoever shows it takes it with failure().
//
//     HistoryWriter writer(where, [] { /* post to the thread that tells */ });
//     const auto row = writer.begin(attempt);   // at once
//     ...
//     writer.end(row, ended);                   // at once
//     // ~HistoryWriter: what was given is written before it returns

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quill {

class HistoryStore;

class HistoryWriter {
  public:
    using Row = size_t; // an attempt begun through this writer
    // Fills in, on the writer's thread and before the row is written, what
    // takes time to find out.
    using Fill = std::function<void(Attempt&)>;

    HistoryWriter(HistoryLocation where, std::function<void()> failed);
    // Writes everything given, then closes the history.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    Row begin(Attempt attempt, Fill fill = {});
    // The row as `ended` says it ended: its end time, counts, outcome, exit
    // code and last message, and its trace file when it names one. An
    // attempt whose beginning was not written is not ended either.
    // `written` runs on the writer's thread once the row is completed.
    void end(Row row, const Attempt& ended, std::function<void()> written = {});
    // Waits until everything given so far is written or has failed.
    HistoryStatus sync();
    // The first failure; nothing while all went well.
    HistoryStatus failure() const;
    const HistoryLocation& location() const { return m_where; }

  private:
    void post(std::function<void(HistoryStore&)> job);
    void run();
    void fail(const HistoryError& error);

    const HistoryLocation m_where;
    std::function<void()> m_failed;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void(HistoryStore&)>> m_jobs;
    size_t m_given = 0; // jobs posted
    size_t m_done = 0;  // jobs run
    bool m_stop = false;
    HistoryStatus m_failure;
    std::vector<Attempt> m_rows; // as begun, with its id once written (0 until, or unless)
    std::thread m_thread;        // last: it starts with everything above made
};

} // namespace quill
