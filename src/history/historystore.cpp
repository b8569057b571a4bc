// SPDX-License-Identifier: MIT
#include "history/historystore.h"

#include "history/historyschema.h"
#include "history/historysql.h"
#include "history/historytexts.h"
#include "history/ownfolders.h"
#include "shared/filepath.h"
#include "shared/outcome.h"
#include "shared/utf8text.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <limits>
#include <optional>

namespace quill {

using namespace sql;

namespace {

std::atomic<int> connectionCount{0};

bool hexDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

} // namespace

HistoryStore::HistoryStore(HistoryLocation where)
    : m_where(std::move(where)),
      m_connection(QStringLiteral("quill-history-%1").arg(++connectionCount)) {}

HistoryStore::~HistoryStore() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void HistoryStore::findDrivers() {
    static_cast<void>(QSqlDatabase::drivers());
}

HistoryResult<std::unique_ptr<HistoryStore>> HistoryStore::open(const HistoryLocation& where) {
    std::unique_ptr<HistoryStore> store(new HistoryStore(where));
    if (HistoryStatus failed = store->connect()) {
        return *failed;
    }
    if (HistoryStatus failed = store->makeSchema()) {
        return *failed;
    }
    return store;
}

HistoryError HistoryStore::failure(const char* what, const QString& why) const {
    // The client library never repeats a password; what the server said of
    // its own accord (a connection it ends) goes with the reason.
    QString reason = why.simplified();
    if (reason.isEmpty()) {
        reason = QString::fromLatin1(text::HistoryNoReason);
    }
    if (!m_notice.isEmpty() && !reason.contains(m_notice)) {
        reason += QStringLiteral(" (") + m_notice + u')';
    }
    const std::string where = m_where.shown();
    return {what, where.empty() ? ownDataFolderShown() : where, reason.toStdString()};
}

// The folder, and the file with mode 0600 before SQLite makes it with the
// mode of its own choice: the history names people and places.
HistoryStatus HistoryStore::prepareSqlite() {
    if (m_where.path.empty()) {
        return failure(text::HistoryNotOpened, QString::fromLatin1(noOwnDataFolder()));
    }
    // The station's own file is never another program's reached through a link.
    if (!m_where.named && QFileInfo(QString::fromStdString(m_where.path)).isSymLink()) {
        return failure(text::HistoryNotOpened, QString::fromLatin1(text::JournalIsLink));
    }
    const std::filesystem::path path = filePath(m_where.path);
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    if (error) {
        return failure(text::HistoryNotOpened, QString::fromStdString(error.message()));
    }
    QFile file(QString::fromStdString(m_where.path));
    if (!file.exists() &&
        !file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        !file.exists()) { // another process may have made it meanwhile
        return failure(text::HistoryNotOpened, file.errorString());
    }
    return {};
}

HistoryStatus HistoryStore::connect() {
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    if (!postgres) {
        if (HistoryStatus failed = prepareSqlite()) {
            return failed;
        }
    }
    const QString driver = postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return failure(text::HistoryNotOpened, QString::fromLatin1(text::HistoryNoDriver));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
    if (postgres) {
        db.setHostName(QString::fromStdString(m_where.host));
        db.setPort(m_where.port.value_or(-1));
        db.setDatabaseName(QString::fromStdString(m_where.database));
        db.setUserName(QString::fromStdString(m_where.user));
        db.setPassword(QString::fromStdString(m_where.password));
        QStringList options{QStringLiteral("connect_timeout=%1").arg(m_where.connectTimeout)};
        if (!m_where.sslmode.empty()) {
            options << QStringLiteral("sslmode=") + QString::fromStdString(m_where.sslmode);
        }
        db.setConnectOptions(options.join(u';'));
    } else {
        db.setDatabaseName(QString::fromStdString(m_where.path));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    }
    if (!db.open()) {
        return failure(text::HistoryNotOpened, reasonOf(db.lastError()));
    }
    if (postgres) {
        takeNotices(db);
    }
    // SQLite: readers never wait for writers, and writers of several
    // processes take turns instead of failing (WAL, kept by the file once
    // set). Every commit reaches the disk before it returns: the row of an
    // attempt must survive the station losing power, which is what it is
    // written at the beginning for. PostgreSQL: its notices ("relation
    // already exists, skipping") would go to our standard error.
    const QStringList settings =
        postgres ? QStringList{QStringLiteral("SET client_min_messages = WARNING")}
                 : QStringList{QStringLiteral("PRAGMA journal_mode = WAL"),
                               QStringLiteral("PRAGMA synchronous = FULL")};
    QSqlQuery setting(db);
    for (const QString& sql : settings) {
        // Turning a new file to WAL takes its lock without SQLite's wait for
        // it: a station opening the file while another turns it waits here.
        QDeadlineTimer patience(BusyTimeoutMs);
        while (!run(setting, sql)) {
            if (postgres || !busy(setting.lastError()) || patience.hasExpired()) {
                return failure(text::HistoryNotOpened, reasonOf(setting.lastError()));
            }
            QThread::msleep(10);
        }
    }
    return {};
}

namespace {

// libpq's PQsetNoticeProcessor, from the client library Qt's driver has
// loaded: no link of our own to it.
using NoticeProcessor = void (*)(void*, const char*);
using SetNoticeProcessor = NoticeProcessor (*)(void*, NoticeProcessor, void*);

SetNoticeProcessor setNoticeProcessor() {
    static const SetNoticeProcessor found = [] {
        void* library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        return library != nullptr
                   ? reinterpret_cast<SetNoticeProcessor>(::dlsym(library, "PQsetNoticeProcessor"))
                   : nullptr;
    }();
    return found;
}

} // namespace

// What the server says of its own accord ("terminating connection due to
// administrator command") would go raw to standard error; it is kept, and
// goes with the next failure's reason instead.
void HistoryStore::takeNotices(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    const SetNoticeProcessor set = setNoticeProcessor();
    // libpq's PGconn is its struct pg_conn, and Qt names the handle's type so.
    if (set == nullptr || !handle.isValid() || qstrcmp(handle.typeName(), "pg_conn*") != 0) {
        return;
    }
    void* connection = *static_cast<void* const*>(handle.data());
    set(
        connection,
        [](void* store, const char* message) {
            static_cast<HistoryStore*>(store)->m_notice = QString::fromUtf8(message).simplified();
        },
        this);
}

HistoryStatus HistoryStore::makeSchema() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const auto check = [this](int version) -> HistoryStatus {
        if (version > SchemaVersion) {
            return failure(text::HistoryNotOpened, QString::fromLatin1(text::HistoryNewerSchema) +
                                                       QString::number(version) + u')');
        }
        return {};
    };
    QSqlQuery query(db);
    if (run(query, schema::versionQuery()) && query.next()) {
        const int version = query.value(0).toInt();
        query.finish();
        return version >= 1 && version < SchemaVersion ? upgrade() : check(version);
    }
    query.finish();
    // No schema yet. Whoever takes the lock first makes it; the others find
    // it made when they get the lock.
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    QStringList steps;
    if (postgres) {
        steps << QStringLiteral("BEGIN")
              << QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey);
    } else {
        steps << QStringLiteral("BEGIN IMMEDIATE");
    }
    steps << schema::versionTable();
    bool made = true;
    for (const QString& step : steps) {
        made = made && run(query, step);
    }
    int version = 0;
    if (made && run(query, schema::versionQuery()) && query.next()) {
        version = query.value(0).toInt();
    } else if (made) {
        for (const QString& step : schema::creation(postgres)) {
            made = made && run(query, step);
        }
        made = made && runBound(query, schema::versionInsert(), {SchemaVersion});
    }
    query.finish();
    if (!made || !run(query, QStringLiteral("COMMIT"))) {
        const HistoryError error = failure(text::HistoryNotOpened, reasonOf(query.lastError()));
        run(query, QStringLiteral("ROLLBACK"));
        return error;
    }
    return check(version);
}

// A schema of version 1 gains the attempts' keys and the counters of serial
// numbers, one of version 2 the units, one of version 3 the recipes and
// work orders of the rows; whoever takes the lock first does
// it, the others find it done.
HistoryStatus HistoryStore::upgrade() {
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    bool done =
        postgres
            ? run(query, QStringLiteral("BEGIN")) &&
                  run(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey))
            : run(query, QStringLiteral("BEGIN IMMEDIATE"));
    done = done && run(query, schema::versionQuery()) && query.next();
    const int version = done ? query.value(0).toInt() : 0;
    query.finish();
    QStringList steps;
    if (done && version == 1) {
        steps << schema::upgradeFrom1();
    }
    if (done && version >= 1 && version <= 2) {
        steps << schema::upgradeFrom2();
    }
    if (done && version >= 1 && version <= 3) {
        steps << schema::upgradeFrom3();
    }
    for (const QString& step : steps) {
        done = done && run(query, step);
    }
    if (!done || !run(query, QStringLiteral("COMMIT"))) {
        const HistoryError error = failure(text::HistoryNotOpened, reasonOf(query.lastError()));
        run(query, QStringLiteral("ROLLBACK"));
        return error;
    }
    return {};
}

HistoryResult<uint64_t> HistoryStore::nextSerial(const std::string& series, uint64_t start,
                                                 const std::string& carriedFrom) {
    constexpr auto largest = uint64_t(std::numeric_limits<int64_t>::max());
    if (start >= largest) {
        return failure(text::HistoryNotRead, QString::fromLatin1(text::HistoryCounterFull));
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!runBound(query, schema::nextSerial(),
                  {QString::fromStdString(utf8Text(series)),
                   QString::fromStdString(utf8Text(carriedFrom)), qlonglong(start)}) ||
        !query.next()) {
        return failure(text::HistoryNotRead, reasonOf(query.lastError()));
    }
    // A counter at the column's largest value gives no more (drawSerial).
    bool whole = false;
    const qlonglong next = query.value(0).toLongLong(&whole);
    if (!whole || query.value(0).typeId() == QMetaType::Double || uint64_t(next) >= largest) {
        return failure(text::HistoryNotRead, QString::fromLatin1(text::HistoryCounterFull));
    }
    return uint64_t(next);
}

HistoryStatus HistoryStore::each(const HistoryFilter& filter,
                                 const std::function<void(const Attempt&)>& row) {
    if (!hexDigits(filter.sha256Prefix)) {
        return failure(text::HistoryNotRead, QString::fromLatin1(text::HistoryBadShaPrefix));
    }
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    return select(schema::selectAttempts(filter, postgres), schema::filterValues(filter), row);
}

HistoryResult<std::vector<Attempt>> HistoryStore::changes(int64_t afterId,
                                                          const std::vector<int64_t>& watched) {
    QVariantList bound{qlonglong(afterId)};
    if (!watched.empty()) {
        bound << QString::fromLatin1(outcomeName(Outcome::Unfinished).data());
    }
    for (const int64_t id : watched) {
        bound << qlonglong(id);
    }
    const bool postgres = m_where.kind == HistoryLocation::Kind::Postgres;
    std::vector<Attempt> rows;
    if (HistoryStatus failed = select(schema::selectChanged(watched.size(), postgres), bound,
                                      [&](const Attempt& a) { rows.push_back(a); })) {
        return *failed;
    }
    std::sort(rows.begin(), rows.end(), newerFirst);
    return rows;
}

HistoryStatus HistoryStore::select(const QString& sql, const QVariantList& bound,
                                   const std::function<void(const Attempt&)>& row) {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!runBound(query, sql, bound)) {
        return failure(text::HistoryNotRead, reasonOf(query.lastError()));
    }
    Attempt a;
    while (query.next()) {
        schema::readAttempt(query, a);
        row(a);
    }
    if (query.lastError().isValid()) {
        return failure(text::HistoryNotRead, reasonOf(query.lastError()));
    }
    return {};
}

HistoryResult<std::vector<Attempt>> HistoryStore::query(const HistoryFilter& filter) {
    std::vector<Attempt> rows;
    if (HistoryStatus failed = each(filter, [&](const Attempt& a) { rows.push_back(a); })) {
        return *failed;
    }
    return rows;
}

} // namespace quill
