// SPDX-License-Identifier: MIT
#pragma once
// What the store's two halves (historystore.cpp: the connection, the schema
// and the reading; historystorewrite.cpp: the writes) share: statements
// run, values bound, the reason of a failure, and the locks of PostgreSQL.

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace quill::sql {

// Held while the first of several stations makes the schema of a shared
// database, so that the others wait for it instead of failing on tables
// that appear under their hands. Any number of our own will do.
inline constexpr qint64 SchemaLockKey = 0x7175696c6c; // "quill"
// Held while a unit number of a batch is counted and taken.
inline constexpr qint64 UnitLockKey = SchemaLockKey + 1;

inline bool run(QSqlQuery& query, const QString& sql) {
    return query.exec(sql);
}

inline bool runBound(QSqlQuery& query, const QString& sql, const QVariantList& bound) {
    if (!query.prepare(sql)) {
        return false;
    }
    for (const QVariant& value : bound) {
        query.addBindValue(value);
    }
    return query.exec();
}

// SQLITE_BUSY and SQLITE_LOCKED: another connection holds what is needed.
inline bool busy(const QSqlError& error) {
    return error.nativeErrorCode() == QStringLiteral("5") ||
           error.nativeErrorCode() == QStringLiteral("6");
}

inline QString reasonOf(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

} // namespace quill::sql
