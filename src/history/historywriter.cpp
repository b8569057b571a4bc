// SPDX-License-Identifier: MIT
#include "history/historywriter.h"

#include "history/historystore.h"

namespace quill {

HistoryWriter::HistoryWriter(HistoryLocation where, std::function<void()> failed)
    : m_where(std::move(where)), m_failed(std::move(failed)), m_thread([this] { run(); }) {}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

HistoryWriter::Row HistoryWriter::begin(Attempt attempt, Fill fill) {
    Row row = 0;
    {
        const std::lock_guard lock(m_mutex);
        row = m_rows.size();
        m_rows.emplace_back();
    }
    post([this, row, attempt = std::move(attempt), fill = std::move(fill)](HistoryStore& store) {
        Attempt a = attempt;
        if (fill) {
            fill(a);
        }
        const auto id = store.begin(a);
        if (!id) {
            fail(id.error());
            return;
        }
        a.id = *id;
        const std::lock_guard lock(m_mutex);
        m_rows[row] = std::move(a);
    });
    return row;
}

void HistoryWriter::end(Row row, const Attempt& ended, std::function<void()> written) {
    post([this, row, ended, written = std::move(written)](HistoryStore& store) {
        Attempt a;
        {
            const std::lock_guard lock(m_mutex);
            if (row < m_rows.size()) {
                a = m_rows[row];
            }
        }
        if (a.id == 0) {
            return; // its beginning failed, and was told
        }
        a.endedMs = ended.endedMs;
        a.recordsSent = ended.recordsSent;
        a.recordsTotal = ended.recordsTotal;
        a.dataBytesSent = ended.dataBytesSent;
        a.dataBytesTotal = ended.dataBytesTotal;
        a.outcome = ended.outcome;
        a.exitCode = ended.exitCode;
        a.lastMessage = ended.lastMessage;
        if (!ended.traceFile.empty()) {
            a.traceFile = ended.traceFile;
        }
        if (HistoryStatus failed = store.end(a)) {
            fail(*failed);
        } else if (written) {
            written();
        }
    });
}

void HistoryWriter::post(std::function<void(HistoryStore&)> job) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        ++m_given;
    }
    m_wake.notify_all();
}

HistoryStatus HistoryWriter::sync() {
    std::unique_lock lock(m_mutex);
    const size_t given = m_given;
    m_wake.wait(lock, [&] { return m_done >= given; });
    return m_failure;
}

HistoryStatus HistoryWriter::failure() const {
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void HistoryWriter::fail(const HistoryError& error) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_failure) {
            return;
        }
        m_failure = error;
    }
    if (m_failed) {
        m_failed();
    }
}

// The store is made, used and closed on this thread alone (a Qt SQL
// connection belongs to the thread that opened it). A history that cannot
// be opened takes every job as done, unwritten.
void HistoryWriter::run() {
    auto opened = HistoryStore::open(m_where);
    if (!opened) {
        fail(opened.error());
    }
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty()) {
            break; // stopped, with everything written
        }
        std::function<void(HistoryStore&)> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        if (opened) {
            job(**opened);
        }
        lock.lock();
        ++m_done;
        m_wake.notify_all();
    }
}

} // namespace quill
