// SPDX-License-Identifier: MIT
#pragma once
// The record of every download attempt, in SQLite or PostgreSQL through
// Qt SQL. An attempt is written when it begins, with the outcome
// "unfinished", and completed when it ends, so that a station that loses
// power mid-download leaves an honest row. The schema is made on first use
// and carries a version so that it can change later. Several processes may
// write one SQLite file at once (WAL, and a wait for the lock), and any
// number of stations one PostgreSQL database.
//
// Every value reaches the database bound, never as SQL text. Failures are
// values (historyerror.h); no message is shown here.
//
// A store is one connection and belongs to the thread that opened it.

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <QString>
#include <QVariantList>

class QSqlDatabase;
class QSqlQuery;

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quill {

class HistoryStore {
  public:
    // The version of the schema this program writes.
    static constexpr int SchemaVersion = 4;
    // How long a writer waits for another to finish, in ms.
    static constexpr int BusyTimeoutMs = 5000;

    // Opens the history (for SQLite: creating its folder, and the file with
    // mode 0600) and makes its schema if it has none yet, or brings an older
    // one up to this version.
    static HistoryResult<std::unique_ptr<HistoryStore>> open(const HistoryLocation& where);
    // Qt SQL's search for its driver plugins, done once, on the thread that
    // calls it; before a thread of our own opens a store. On Windows the
    // search builds a regular expression (the "*.dll" filter), whose JIT
    // stack Qt keeps per thread; for a std::thread, Qt's watcher of threads
    // it did not start frees that stack from another thread while the
    // program ends, and quill-cli died in Qt6Core.dll after its download.
    static void findDrivers();

    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Writes the attempt with the outcome "unfinished", no end time and no
    // exit code, whatever `attempt` holds there. An attempt of a batch whose
    // device answered (its attempt number known, and a record sent) and
    // that has no unit number gets its unit's, or the next one of its batch,
    // counted by every station that writes this history; one whose device
    // never answered spends none. Without a unit key it is a unit of its own. Returns its id once
    // the row is on disk (SQLite) or committed (PostgreSQL). An attempt whose key is there already
    // is not written again (what it lacks is filled in): its id is returned.
    HistoryResult<int64_t> begin(const Attempt& attempt);

    // Writes the fields of the attempt with attempt.key (or, without a key,
    // numbered attempt.id) as it ended; the caller stamps endedMs. A text
    // left empty, or a number left unknown, keeps what the beginning wrote.
    // Returns once it is on disk or committed; writing the same end twice
    // changes nothing.
    HistoryStatus end(const Attempt& attempt);

    // The next number of a counting series, taken: `start` for a series
    // not there yet. Atomic in either database: however many stations draw
    // at once, no number is given twice, and none comes back. With
    // `attempt` (its key set), its row is begun in the same transaction,
    // with the number as its serial unless it names one: a number is never
    // spent without a row that says who got it. A counter refuses a number
    // the history's column cannot hold (a signed 64-bit integer). A new
    // series goes on after the series `carriedFrom`, if that is there.
    // A draw with a row is made once its device answered: `unit`, when
    // given, gets the row's number in its batch, drawn in the same transaction.
    HistoryResult<uint64_t> drawSerial(const std::string& series, uint64_t start,
                                       const Attempt* attempt = nullptr,
                                       const std::string& carriedFrom = {},
                                       std::optional<int64_t>* unit = nullptr);

    // The number the next drawSerial() of the series would give, drawing
    // nothing: what a run can refuse before any port is touched.
    HistoryResult<uint64_t> nextSerial(const std::string& series, uint64_t start,
                                       const std::string& carriedFrom = {});

    // The attempts the filter picks, newest first, one at a time: `row`
    // gets the same Attempt each time, filled anew, so that a long listing
    // neither holds every row nor makes each anew.
    HistoryStatus each(const HistoryFilter& filter, const std::function<void(const Attempt&)>& row);
    // The same, all at once.
    HistoryResult<std::vector<Attempt>> query(const HistoryFilter& filter);

    // The attempts numbered above `afterId`, and those of `watched` that
    // have ended since, newest first: what a listing kept open asks for
    // again. Both by the primary key, so a long history costs no more.
    HistoryResult<std::vector<Attempt>> changes(int64_t afterId,
                                                const std::vector<int64_t>& watched);

    const HistoryLocation& location() const { return m_where; }
    // The Qt SQL connection of this store, for the tables of other modules
    // that live in the same database (recipes and work orders).
    const QString& connectionName() const { return m_connection; }

  private:
    explicit HistoryStore(HistoryLocation where);

    HistoryStatus connect();
    HistoryStatus prepareSqlite();
    HistoryStatus makeSchema();
    HistoryStatus upgrade();
    void takeNotices(QSqlDatabase& db);
    using Body = std::function<bool(QSqlQuery& query, QString& why)>;
    HistoryStatus write(bool unitLock, const Body& body);
    bool insert(QSqlQuery& query, Attempt& row, bool answered = false);
    bool numberUnit(QSqlQuery& query, Attempt& row, bool answered);
    HistoryError failure(const char* what, const QString& why) const;
    HistoryStatus select(const QString& sql, const QVariantList& bound,
                         const std::function<void(const Attempt&)>& row);

    HistoryLocation m_where;
    QString m_connection; // the name of this store's Qt SQL connection
    QString m_notice;     // the last thing the server said of its own accord
};

} // namespace quill
