// SPDX-License-Identifier: MIT
#pragma once
// What the store's two halves (recipestore.cpp: the recipes;
// workorders.cpp: the orders and their places) share: the history's
// connection, a transaction that holds the lock, and the failure as a
// value. Private to the recipe folder.

#include "history/historystore.h"
#include "recipe/recipestore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>

namespace quill {

struct RecipeStore::Impl {
    std::unique_ptr<HistoryStore> history; // the connection, made as the history makes it
    bool postgres = false;

    QSqlDatabase db() const;
    HistoryError failure(const char* what, const QString& why) const;

    // Runs `body` in one transaction that holds the database's write lock
    // (SQLite) or the advisory lock `lockKey` (PostgreSQL; 0: none, the
    // rows it updates are its locks). `body` returns false to undo it all,
    // with `why` said, or left empty for the query's own error.
    using Body = std::function<bool(QSqlQuery& query, QString& why)>;
    HistoryStatus write(const char* what, qint64 lockKey, const Body& body) const;
    // One UPDATE in a transaction of its own: whether it changed a row.
    HistoryResult<bool> updateRows(const char* what, const QString& sql,
                                   const QVariantList& values) const;
    // Makes the recipe and order tables that are missing; `version`: theirs.
    HistoryStatus makeTables(int& version) const;
};

// Held while a name's next version is given, and while the recipe tables
// are made.
inline constexpr qint64 RecipeLockKey = 0x7175696c6c + 2;

} // namespace quill
