// SPDX-License-Identifier: MIT
#include "recipe/recipestore.h"

#include "history/historysql.h"
#include "history/historytexts.h"
#include "recipe/recipedb.h"
#include "recipe/recipeschema.h"
#include "recipe/recipetexts.h"

#include <QCryptographicHash>
#include <QSqlDatabase>

namespace quill {

using namespace sql;

namespace {

std::string sha256Of(const std::vector<uint8_t>& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

QString qtext(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QSqlDatabase RecipeStore::Impl::db() const {
    return QSqlDatabase::database(history->connectionName(), false);
}

HistoryError RecipeStore::Impl::failure(const char* what, const QString& why) const {
    const QString reason = why.simplified();
    return {what, history->location().shown(),
            reason.isEmpty() ? text::HistoryNoReason : reason.toStdString()};
}

HistoryResult<bool> RecipeStore::Impl::updateRows(const char* what, const QString& sql,
                                                  const QVariantList& values) const {
    bool found = false;
    HistoryStatus failed = write(what, 0, [&](QSqlQuery& q, QString&) {
        if (!runBound(q, sql, values)) {
            return false;
        }
        found = q.numRowsAffected() > 0;
        return true;
    });
    if (failed) {
        return *failed;
    }
    return found;
}

HistoryStatus RecipeStore::Impl::write(const char* what, qint64 lockKey, const Body& body) const {
    QSqlQuery query(db());
    bool done =
        postgres ? run(query, QStringLiteral("BEGIN")) &&
                       (lockKey == 0 ||
                        run(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(lockKey)))
                 : run(query, QStringLiteral("BEGIN IMMEDIATE"));
    QString why;
    done = done && body(query, why);
    if (why.isEmpty()) {
        why = reasonOf(query.lastError());
    }
    query.finish();
    if (done && run(query, QStringLiteral("COMMIT"))) {
        return {};
    }
    if (done) {
        why = reasonOf(query.lastError());
    }
    run(query, QStringLiteral("ROLLBACK"));
    return failure(what, why);
}

// Whoever takes the lock first makes the tables; the others find them made.
HistoryStatus RecipeStore::Impl::makeTables(int& version) const {
    return write(text::HistoryNotOpened, RecipeLockKey, [&](QSqlQuery& q, QString&) {
        for (const QString& step : recipeschema::creation(postgres)) {
            if (!run(q, step)) {
                return false;
            }
        }
        if (!run(q, recipeschema::versionQuery())) {
            return false;
        }
        version = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        return version != 0 || runBound(q, recipeschema::versionInsert(), {recipeschema::Version});
    });
}

RecipeStore::RecipeStore() : m(std::make_unique<Impl>()) {}
RecipeStore::~RecipeStore() = default;

HistoryResult<std::unique_ptr<RecipeStore>> RecipeStore::open(const HistoryLocation& where) {
    auto history = HistoryStore::open(where);
    if (!history) {
        return history.error();
    }
    std::unique_ptr<RecipeStore> store(new RecipeStore());
    store->m->history = std::move(*history);
    store->m->postgres = where.kind == HistoryLocation::Kind::Postgres;
    // Tables there already are only read: a listing takes no lock, and a
    // user who may only read the database may list.
    int version = 0;
    {
        QSqlQuery q(store->m->db());
        if (run(q, recipeschema::versionQuery()) && q.next()) {
            version = q.value(0).toInt();
        }
    }
    // The tables of an older history are made here.
    HistoryStatus failed = version != 0 ? HistoryStatus() : store->m->makeTables(version);
    if (failed) {
        return *failed;
    }
    if (version > recipeschema::Version) {
        return store->m->failure(text::HistoryNotOpened,
                                 QString::fromLatin1(text::RecipeTablesNewer) +
                                     QString::number(version) + u')');
    }
    return store;
}

HistoryResult<int> RecipeStore::publish(const Recipe& recipe) {
    Recipe r = recipe;
    r.sha256 = sha256Of(r.firmware);
    r.state = RecipeState::Released;
    if (!r.settings.serial.listFile.empty()) {
        return m->failure(text::RecipeNotPublished, QString::fromLatin1(text::RecipeListFile));
    }
    // The next version under the lock: two stations publishing one name at
    // once get two versions, and the primary key would refuse a second 1.
    HistoryStatus failed =
        m->write(text::RecipeNotPublished, RecipeLockKey, [&](QSqlQuery& q, QString&) {
            if (!runBound(q,
                          QStringLiteral("SELECT COALESCE(MAX(version), 0) + 1 FROM quill_recipe "
                                         "WHERE name = ?"),
                          {qtext(r.name)}) ||
                !q.next()) {
                return false;
            }
            r.version = q.value(0).toInt();
            q.finish();
            return runBound(q, recipeschema::insertRecipe(), recipeschema::values(r));
        });
    if (failed) {
        return *failed;
    }
    return r.version;
}

HistoryResult<std::optional<Recipe>> RecipeStore::find(const RecipeRef& ref) {
    QSqlQuery q(m->db());
    q.setForwardOnly(true);
    const bool ok =
        ref.version
            ? runBound(q,
                       recipeschema::selectRecipes(QStringLiteral("WHERE name = ? AND version = ?"),
                                                   true),
                       {qtext(ref.name), *ref.version})
            : runBound(q,
                       recipeschema::selectRecipes(
                           QStringLiteral("WHERE name = ? AND state = ? ORDER BY version DESC "
                                          "LIMIT 1"),
                           true),
                       {qtext(ref.name), recipeschema::recipeStateName(RecipeState::Released)});
    if (!ok) {
        return m->failure(text::RecipeNotRead, reasonOf(q.lastError()));
    }
    if (!q.next()) {
        if (q.lastError().isValid()) {
            return m->failure(text::RecipeNotRead, reasonOf(q.lastError()));
        }
        return std::optional<Recipe>();
    }
    int64_t size = 0;
    Recipe r = recipeschema::readRecipe(q, true, &size);
    // What runs is what was published, or nothing.
    if (int64_t(r.firmware.size()) != size || sha256Of(r.firmware) != r.sha256) {
        return m->failure(text::RecipeNotRead, QString::fromStdString(r.id() + ": ") +
                                                   QString::fromLatin1(text::RecipeDamaged));
    }
    return std::optional<Recipe>(std::move(r));
}

HistoryResult<std::vector<RecipeStore::Listed>> RecipeStore::list() {
    QSqlQuery q(m->db());
    q.setForwardOnly(true);
    if (!run(q,
             recipeschema::selectRecipes(QStringLiteral("ORDER BY name, version DESC"), false))) {
        return m->failure(text::RecipeNotRead, reasonOf(q.lastError()));
    }
    std::vector<Listed> rows;
    while (q.next()) {
        Listed row;
        row.recipe = recipeschema::readRecipe(q, false, &row.firmwareSize);
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
        return m->failure(text::RecipeNotRead, reasonOf(q.lastError()));
    }
    return rows;
}

HistoryResult<bool> RecipeStore::retire(const std::string& name, int version) {
    return m->updateRows(
        text::RecipeNotChanged,
        QStringLiteral("UPDATE quill_recipe SET state = ? WHERE name = ? AND version = ?"),
        {recipeschema::recipeStateName(RecipeState::Retired), qtext(name), version});
}

HistoryStatus RecipeStore::import(const Recipe& recipe) {
    if (sha256Of(recipe.firmware) != recipe.sha256) {
        return m->failure(text::RecipeNotImported, QString::fromLatin1(text::RecipeShaMismatch));
    }
    if (!recipe.settings.serial.listFile.empty()) {
        return m->failure(text::RecipeNotImported, QString::fromLatin1(text::RecipeListFile));
    }
    return m->write(text::RecipeNotImported, RecipeLockKey, [&](QSqlQuery& q, QString& why) {
        if (!runBound(q,
                      recipeschema::selectRecipes(QStringLiteral("WHERE name = ? AND version = ?"),
                                                  false),
                      {qtext(recipe.name), recipe.version})) {
            return false;
        }
        if (!q.next()) {
            q.finish();
            return runBound(q, recipeschema::insertRecipe(), recipeschema::values(recipe));
        }
        // Imported again: the same bytes and settings change nothing.
        const Recipe there = recipeschema::readRecipe(q, false, nullptr);
        q.finish();
        if (there.sha256 != recipe.sha256) {
            why = QString::fromStdString(recipe.id()) + QLatin1String(text::RecipeOtherBytes);
        } else if (!(there.settings == recipe.settings)) {
            why = QString::fromStdString(recipe.id()) + QLatin1String(text::RecipeOtherSettings);
        }
        return why.isEmpty();
    });
}

} // namespace quill
