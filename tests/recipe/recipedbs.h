// SPDX-License-Identifier: MIT
#pragma once
// The two databases every recipe test runs on: a new SQLite file in a
// scratch folder, and a new database of the tests' own PostgreSQL server.

#include "history/historylocation.h"
#include "history/historystore.h"
#include "recipe/recipestore.h"
#include "sharedpgserver.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quill::test {

class RecipeDb : public ::testing::TestWithParam<bool> {
  public:
    static std::string name(const ::testing::TestParamInfo<bool>& info) {
        return info.param ? "Postgres" : "Sqlite";
    }

  protected:
    void SetUp() override {
        if (GetParam()) {
            PgServer& server = sharedPgServer();
            ASSERT_EQ(server.failure(), "");
            url = server.url(server.newDatabase());
        } else {
            url = m_dir.filePath(QStringLiteral("history.sqlite")).toStdString();
        }
        auto at = historyAt(url);
        ASSERT_TRUE(at.ok());
        where = *at;
        store = open();
    }

    std::unique_ptr<RecipeStore> open() {
        auto opened = RecipeStore::open(where);
        EXPECT_TRUE(opened.ok()) << (opened.ok() ? "" : opened.error().text());
        return opened.ok() ? std::move(*opened) : nullptr;
    }

    // A statement run on the database behind the store's back.
    void sqlAside(const QString& sql, const QVariantList& bound) {
        auto history = HistoryStore::open(where);
        ASSERT_TRUE(history.ok());
        QSqlQuery q(QSqlDatabase::database((*history)->connectionName(), false));
        ASSERT_TRUE(q.prepare(sql));
        for (const QVariant& v : bound) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

    QTemporaryDir m_dir;
    std::string url;
    HistoryLocation where;
    std::unique_ptr<RecipeStore> store;
};

inline Recipe recipeOf(std::string name, std::string firmware) {
    Recipe r;
    r.name = std::move(name);
    r.firmware.assign(firmware.begin(), firmware.end());
    r.fileName = "fw.hex";
    r.settings.device = 1;
    r.settings.baud = 38400;
    r.publishedMs = 1'765'000'000'000;
    return r;
}

} // namespace quill::test
