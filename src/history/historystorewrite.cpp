// SPDX-License-Identifier: MIT
// The store's writes: each a transaction whose COMMIT is seen to succeed.
#include "history/historystore.h"

#include "history/historyschema.h"
#include "history/historysql.h"
#include "history/historytexts.h"
#include "shared/outcome.h"
#include "shared/utf8text.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <limits>
#include <optional>

namespace quill {

using namespace sql;

// Every write is a transaction of its own whose COMMIT is seen to succeed:
// SQLite commits a lone INSERT ... RETURNING only once the statement is
// reset, and a failure there (a full disk) would go unseen. What `body`
// did is undone when anything fails; `why` may hold a reason of its own.
HistoryStatus HistoryStore::write(bool unitLock, const Body& body) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    bool done = run(query, postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    if (done && postgres && unitLock) {
        done = run(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(UnitLockKey));
    }
    QString why;
    done = done && body(query, why);
    if (!done && why.isEmpty()) {
        why = reasonOf(query.lastError());
    }
    query.finish();
    if (done && run(query, QStringLiteral("COMMIT"))) {
        return {};
    }
    if (why.isEmpty()) {
        why = reasonOf(query.lastError());
    }
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    return failure(text::HistoryNotWritten, why);
}

namespace {

// A write that may number a unit in its batch holds the others off.
bool numbered(const Attempt& row) {
    return row.attemptNo.has_value();
}

// The row as it begins: unfinished, with no end yet.
Attempt begun(const Attempt& attempt) {
    Attempt row = attempt;
    row.outcome = outcomeName(Outcome::Unfinished);
    row.endedMs.reset();
    row.exitCode.reset();
    return row;
}

} // namespace

HistoryResult<int64_t> HistoryStore::begin(const Attempt& attempt) {
    Attempt row = begun(attempt);
    if (HistoryStatus failed =
            write(numbered(row), [&](QSqlQuery& query, QString&) { return insert(query, row); })) {
        return *failed;
    }
    return row.id;
}

// The unit number of a batch is counted and the row written in one
// transaction, which holds every other writer off meanwhile: no two units
// of a batch get one number, whichever station they are flashed on. Only a
// row that reached its device is numbered: one that never did spends none.
bool HistoryStore::insert(QSqlQuery& query, Attempt& row, bool answered) {
    if (row.unitKey.empty()) {
        row.unitKey = row.key;
    }
    if (!runBound(query, schema::insertAttempt(), schema::values(row))) {
        return false;
    }
    if (query.next()) {
        row.id = query.value(0).toLongLong();
        query.finish();
        return numberUnit(query, row, answered);
    }
    // Its key is there: it was written before, by this program or another
    // (with its serial number, say). What it did not know yet is filled in.
    query.finish();
    QVariantList bound = schema::values(row);
    bound << QString::fromStdString(row.key);
    if (!runBound(query, schema::fillAttempt(), bound) ||
        !runBound(query, schema::attemptWithKey(), {QString::fromStdString(row.key)}) ||
        !query.next()) {
        return false;
    }
    row.id = query.value(0).toLongLong();
    query.finish();
    return numberUnit(query, row, answered);
}

bool HistoryStore::numberUnit(QSqlQuery& query, Attempt& row, bool answered) {
    if (!row.attemptNo) {
        return true;
    }
    const bool byKey = !row.key.empty();
    const QVariant which =
        byKey ? QVariant(QString::fromStdString(row.key)) : QVariant(qlonglong(row.id));
    if (!runBound(query, schema::numberUnit(byKey, answered), {which}) ||
        !runBound(query, schema::unitOf(byKey), {which}) || !query.next()) {
        return false;
    }
    const QVariant unit = query.value(0);
    row.unit = unit.isNull() ? std::nullopt : std::optional<int64_t>(unit.toLongLong());
    query.finish();
    return true;
}

HistoryStatus HistoryStore::end(const Attempt& attempt) {
    const bool byKey = !attempt.key.empty();
    QVariantList bound = schema::values(attempt);
    bound << (byKey ? QVariant(QString::fromStdString(attempt.key))
                    : QVariant(qlonglong(attempt.id)));
    return write(numbered(attempt), [&](QSqlQuery& query, QString& why) {
        if (!runBound(query, schema::updateAttempt(byKey), bound)) {
            return false;
        }
        if (query.numRowsAffected() != 1) {
            why = QString::fromLatin1(text::HistoryNoSuchAttempt) +
                  (byKey ? QString::fromStdString(attempt.key) : QString::number(attempt.id));
            return false;
        }
        Attempt row = attempt;
        return numberUnit(query, row, false);
    });
}

HistoryResult<uint64_t> HistoryStore::drawSerial(const std::string& series, uint64_t start,
                                                 const Attempt* attempt,
                                                 const std::string& carriedFrom,
                                                 std::optional<int64_t>* unit) {
    // The counter keeps the number after the one drawn: it must fit too.
    constexpr auto largest = uint64_t(std::numeric_limits<int64_t>::max());
    uint64_t drawn = 0;
    std::optional<Attempt> row;
    if (attempt != nullptr) {
        row = begun(*attempt);
    }
    const HistoryStatus failed = write(row && numbered(*row), [&](QSqlQuery& query, QString& why) {
        if (start >= largest) {
            why = QString::fromLatin1(text::HistoryCounterFull);
            return false;
        }
        // A draw asked again for one attempt (its answer was lost with its
        // connection) gives the number that attempt got: one a unit.
        if (row && runBound(query, schema::serialOfKey(), {QString::fromStdString(row->key)}) &&
            query.next()) {
            bool whole = false;
            drawn = query.value(0).toString().toULongLong(&whole);
            query.finish();
            if (whole) {
                return true;
            }
        }
        query.finish();
        if (!runBound(query, schema::drawSerial(),
                      {QString::fromStdString(utf8Text(series)),
                       QString::fromStdString(utf8Text(carriedFrom)), qlonglong(start + 1)})) {
            return false;
        }
        const QVariant value = query.next() ? query.value(0) : QVariant();
        query.finish();
        // A REAL is what an SQLite counter that once overflowed holds.
        bool whole = false;
        const qlonglong number = value.toLongLong(&whole);
        if (!whole || value.typeId() == QMetaType::Double) {
            why = QString::fromLatin1(text::HistoryCounterFull);
            return false;
        }
        drawn = uint64_t(number);
        if (!row) {
            return true;
        }
        if (row->serial.empty()) {
            row->serial = std::to_string(drawn);
        }
        return insert(query, *row, true); // drawn once its device answered
    });
    if (failed) {
        return *failed;
    }
    if (unit != nullptr && row) {
        *unit = row->unit;
    }
    return drawn;
}

} // namespace quill
