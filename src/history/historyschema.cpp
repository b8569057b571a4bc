// SPDX-License-Identifier: MIT
#include "history/historyschema.h"

#include "history/unityield.h"
#include "shared/utf8text.h"

#include <QSqlQuery>

#include <array>
#include <variant>

namespace quill::schema {

namespace {

using Field = std::variant<std::string Attempt::*, int64_t Attempt::*,
                           std::optional<int64_t> Attempt::*, std::optional<int> Attempt::*>;

struct Column {
    const char* name;
    const char* type;
    Field field;
    bool inTable = false; // shown by the listing's table
};

// New columns go at the end: the journal keeps an entry as these values in
// this order, and reads the entries of an older program by their first ones.
const std::array<Column, 31> columns{{
    {"attempt_key", "TEXT", &Attempt::key},
    {"started_ms", "BIGINT NOT NULL", &Attempt::startedMs, true},
    {"ended_ms", "BIGINT", &Attempt::endedMs, true},
    {"station", "TEXT", &Attempt::station, true},
    {"operator_name", "TEXT", &Attempt::operatorName, true},
    {"program", "TEXT", &Attempt::program},
    {"program_version", "TEXT", &Attempt::programVersion},
    {"port", "TEXT", &Attempt::port, true},
    {"device_path", "TEXT", &Attempt::devicePath},
    {"by_id", "TEXT", &Attempt::byId},
    {"usb_serial", "TEXT", &Attempt::usbSerial},
    {"baud", "INTEGER", &Attempt::baud},
    {"device", "TEXT", &Attempt::device},
    {"file_path", "TEXT", &Attempt::filePath, true},
    {"file_size", "BIGINT", &Attempt::fileSize},
    {"sha256", "TEXT", &Attempt::sha256, true},
    {"records_sent", "BIGINT NOT NULL", &Attempt::recordsSent, true},
    {"records_total", "BIGINT NOT NULL", &Attempt::recordsTotal, true},
    {"data_bytes_sent", "BIGINT NOT NULL", &Attempt::dataBytesSent},
    {"data_bytes_total", "BIGINT NOT NULL", &Attempt::dataBytesTotal},
    {"outcome", "TEXT NOT NULL", &Attempt::outcome, true},
    {"exit_code", "INTEGER", &Attempt::exitCode},
    {"last_message", "TEXT", &Attempt::lastMessage},
    {"trace_file", "TEXT", &Attempt::traceFile},
    {"batch", "TEXT", &Attempt::batch, true},
    {"unit", "BIGINT", &Attempt::unit, true},
    {"serial", "TEXT", &Attempt::serial, true},
    {"unit_key", "TEXT", &Attempt::unitKey},
    {"attempt", "INTEGER", &Attempt::attemptNo, true},
    {"recipe", "TEXT", &Attempt::recipe},
    {"work_order", "TEXT", &Attempt::workOrder},
}};

// The columns of the journal's entries of schema version 2, before units,
// and of version 3, before recipes and work orders.
constexpr size_t columnsOfVersion2 = 27;
constexpr size_t columnsOfVersion3 = 29;

// Every column name, each put into `form` as %1, joined by commas.
QString columnList(const char* form) {
    QStringList names;
    for (const Column& column : columns) {
        names << QString::fromLatin1(form).arg(QLatin1String(column.name));
    }
    return names.join(QLatin1String(", "));
}

template <typename... F> struct Overloaded : F... { using F::operator()...; };

QVariant valueOf(const Attempt& a, const Field& field) {
    return std::visit(Overloaded{
                          [&](std::string Attempt::*text) {
                              // Texts are bytes; the database takes UTF-8, so a byte
                              // that is not is stored as \xNN. Empty is unknown.
                              return (a.*text).empty()
                                         ? QVariant(QMetaType::fromType<QString>())
                                         : QVariant(QString::fromStdString(utf8Text(a.*text)));
                          },
                          [&](int64_t Attempt::*number) { return QVariant(qlonglong(a.*number)); },
                          [&](std::optional<int64_t> Attempt::*number) {
                              return (a.*number) ? QVariant(qlonglong(*(a.*number)))
                                                 : QVariant(QMetaType::fromType<qlonglong>());
                          },
                          [&](std::optional<int> Attempt::*number) {
                              return (a.*number) ? QVariant(*(a.*number))
                                                 : QVariant(QMetaType::fromType<int>());
                          },
                      },
                      field);
}

void setField(Attempt& a, const Field& field, const QVariant& value) {
    const bool null = value.isNull();
    std::visit(Overloaded{
                   [&](std::string Attempt::*text) {
                       const QByteArray bytes = null ? QByteArray() : value.toByteArray();
                       (a.*text).assign(bytes.constData(), size_t(bytes.size()));
                   },
                   [&](int64_t Attempt::*number) { a.*number = value.toLongLong(); },
                   [&](std::optional<int64_t> Attempt::*number) {
                       a.*number = null ? std::nullopt : std::optional<int64_t>(value.toLongLong());
                   },
                   [&](std::optional<int> Attempt::*number) {
                       a.*number = null ? std::nullopt : std::optional<int>(value.toInt());
                   },
               },
               field);
}

} // namespace

QString versionTable() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS quill_schema (version INTEGER NOT NULL)");
}

QStringList creation(bool postgres) {
    const QString id = postgres ? QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY")
                                : QStringLiteral("INTEGER");
    QStringList definitions{QStringLiteral("id ") + id + QStringLiteral(" PRIMARY KEY")};
    for (const Column& column : columns) {
        definitions << QLatin1String(column.name) + u' ' + QLatin1String(column.type);
    }
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS quill_attempt (") +
            definitions.join(QLatin1String(", ")) + u')',
        // Newest first, and since a date, are the listing's usual questions.
        QStringLiteral("CREATE INDEX IF NOT EXISTS quill_attempt_started "
                       "ON quill_attempt (started_ms, id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS quill_attempt_sha256 ON quill_attempt (sha256)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS quill_attempt_batch ON quill_attempt (batch, unit)"),
        unitIndex(),
        keyIndex(),
        seriesTable(),
        orderIndex(),
    };
}

QString orderIndex() {
    return QStringLiteral(
        "CREATE INDEX IF NOT EXISTS quill_attempt_order ON quill_attempt (work_order)");
}

QString keyIndex() {
    // An attempt taken to the history twice (its program lost the answer)
    // is one row.
    return QStringLiteral(
        "CREATE UNIQUE INDEX IF NOT EXISTS quill_attempt_key ON quill_attempt (attempt_key)");
}

QString unitIndex() {
    return QStringLiteral(
        "CREATE INDEX IF NOT EXISTS quill_attempt_unit ON quill_attempt (unit_key, attempt)");
}

QString seriesTable() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS quill_serial_series ("
                          "series TEXT PRIMARY KEY, next_value BIGINT NOT NULL)");
}

QStringList upgradeFrom1() {
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN attempt_key TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN serial TEXT"),
        keyIndex(),
        seriesTable(),
        QStringLiteral("UPDATE quill_schema SET version = 2"),
    };
}

QStringList upgradeFrom2() {
    // The outcomes said before units were known by their names: fixed texts
    // of our own, never a value from outside.
    QStringList unreached;
    for (const Outcome outcome : outcomesNeverReached()) {
        unreached << u'\'' + QLatin1String(outcomeName(outcome).data()) + u'\'';
    }
    // Each older row is a unit of its own; it reached its device unless its
    // outcome says it never did.
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN unit_key TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN attempt INTEGER"),
        QStringLiteral("UPDATE quill_attempt SET unit_key = "
                       "COALESCE(attempt_key, 'row-' || CAST(id AS TEXT)), "
                       "attempt = CASE WHEN outcome IN (%1) OR (outcome = '%2' AND "
                       "records_sent = 0) THEN NULL ELSE 1 END")
            .arg(unreached.join(u','), QLatin1String(outcomeName(Outcome::PortFailure).data())),
        unitIndex(),
        QStringLiteral("UPDATE quill_schema SET version = 3"),
    };
}

QStringList upgradeFrom3() {
    // The rows before recipes ran files: both stay empty.
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN recipe TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN work_order TEXT"),
        orderIndex(),
        QStringLiteral("UPDATE quill_schema SET version = 4"),
    };
}

QString insertAttempt() {
    return QStringLiteral("INSERT INTO quill_attempt (") + columnList("%1") +
           QStringLiteral(") VALUES (") +
           QStringList(columns.size(), QStringLiteral("?")).join(u',') +
           QStringLiteral(") ON CONFLICT (attempt_key) DO NOTHING RETURNING id");
}

QString drawSerial() {
    // A counter at the column's largest value is not counted on: SQLite would
    // make the sum a REAL and give its number again and again, PostgreSQL
    // would fail. No row comes back then.
    // A new series may go on where another left off (a list's series under
    // the name it had before lists were known by their bytes).
    return QStringLiteral(
        "INSERT INTO quill_serial_series (series, next_value) VALUES (?, "
        "COALESCE((SELECT next_value + 1 FROM quill_serial_series WHERE series = ? "
        "AND next_value < 9223372036854775807), ?)) "
        "ON CONFLICT (series) DO UPDATE SET next_value = "
        "quill_serial_series.next_value + 1 "
        "WHERE quill_serial_series.next_value < 9223372036854775807 "
        "RETURNING next_value - 1");
}

QString nextSerial() {
    return QStringLiteral(
        "SELECT COALESCE((SELECT next_value FROM quill_serial_series WHERE series = ?), "
        "(SELECT next_value FROM quill_serial_series WHERE series = ?), ?)");
}

QString serialOfKey() {
    return QStringLiteral("SELECT serial FROM quill_attempt WHERE attempt_key = ?");
}

QString attemptWithKey() {
    return QStringLiteral("SELECT id FROM quill_attempt WHERE attempt_key = ?");
}

QString updateAttempt(bool byKey) {
    return QStringLiteral("UPDATE quill_attempt SET ") + columnList("%1 = COALESCE(?, %1)") +
           (byKey ? QStringLiteral(" WHERE attempt_key = ?") : QStringLiteral(" WHERE id = ?"));
}

QString fillAttempt() {
    return QStringLiteral("UPDATE quill_attempt SET ") + columnList("%1 = COALESCE(%1, ?)") +
           QStringLiteral(" WHERE attempt_key = ?");
}

QString numberUnit(bool byKey, bool answered) {
    // Its unit's number when another attempt of the unit has one, else the
    // batch's next. Only a row whose device answered is numbered: one that
    // sent it a record, unless the caller knows it answered (a serial
    // number drawn once it did).
    return QStringLiteral(
               "UPDATE quill_attempt SET unit = COALESCE("
               "(SELECT MAX(o.unit) FROM quill_attempt o WHERE o.unit_key = quill_attempt.unit_key "
               "AND o.batch = quill_attempt.batch), "
               "(SELECT COALESCE(MAX(o.unit), 0) + 1 FROM quill_attempt o "
               "WHERE o.batch = quill_attempt.batch)) "
               "WHERE batch IS NOT NULL AND unit IS NULL AND attempt IS NOT NULL AND ") +
           (answered ? QString() : QStringLiteral("records_sent > 0 AND ")) +
           (byKey ? QStringLiteral("attempt_key = ?") : QStringLiteral("id = ?"));
}

QString unitOf(bool byKey) {
    return QStringLiteral("SELECT unit FROM quill_attempt WHERE ") +
           (byKey ? QStringLiteral("attempt_key = ?") : QStringLiteral("id = ?"));
}

QString versionQuery() {
    return QStringLiteral("SELECT version FROM quill_schema");
}

QString versionInsert() {
    return QStringLiteral("INSERT INTO quill_schema (version) VALUES (?)");
}

namespace {

// Every column of the attempts, as attemptAt() reads them.
QString selectColumns(bool postgres, bool tableOnly = false) {
    // SQLite hands its texts to Qt as UTF-16, which we would turn back into
    // the UTF-8 it stores; as a BLOB they come as the bytes stored, and a
    // long listing takes a third less time.
    QStringList read;
    for (const Column& column : columns) {
        const auto name = QLatin1String(column.name);
        const bool text = std::holds_alternative<std::string Attempt::*>(column.field);
        if (tableOnly && !column.inTable) {
            read << QStringLiteral("NULL"); // what the table does not show is not read
        } else {
            read << (text && !postgres ? QStringLiteral("CAST(%1 AS BLOB)").arg(name)
                                       : QString(name));
        }
    }
    return QStringLiteral("SELECT id, ") + read.join(QLatin1String(", ")) +
           QStringLiteral(" FROM quill_attempt");
}

} // namespace

namespace {

// Only these follow ORDER BY: a key is an enumerator, never a text from
// outside. A null, which the two databases place apart, is made a value.
QString orderBy(const HistoryOrder& order) {
    static constexpr std::array columns{
        "started_ms",
        "COALESCE(port, '')",
        "COALESCE(file_path, '')",
        "COALESCE(sha256, '')",
        "COALESCE(outcome, '')",
        "records_sent",
        "COALESCE(ended_ms - started_ms, -1)",
        "COALESCE(station, '')",
        "COALESCE(operator_name, '')",
        "COALESCE(serial, '')",
        "COALESCE(batch, '')",
        "COALESCE(unit, -1)",
        "COALESCE(attempt, 0)",
    };
    const size_t key = size_t(order.key) < columns.size() ? size_t(order.key) : 0;
    const QLatin1String way(order.descending ? " DESC" : " ASC");
    return QStringLiteral(" ORDER BY ") + QLatin1String(columns[key]) + way +
           QStringLiteral(", id") + way;
}

} // namespace

QString selectAttempts(const HistoryFilter& f, bool postgres) {
    QString sql = selectColumns(postgres, f.tableOnly) + QStringLiteral(" WHERE 1 = 1");
    if (f.sinceMs) {
        sql += QStringLiteral(" AND started_ms >= ?");
    }
    if (!f.port.empty()) {
        sql += QStringLiteral(" AND (port = ? OR device_path = ?)");
    }
    if (!f.outcome.empty()) {
        sql += QStringLiteral(" AND outcome = ?");
    }
    if (!f.sha256Prefix.empty()) {
        sql += QStringLiteral(" AND sha256 LIKE ?");
    }
    if (!f.batch.empty()) {
        sql += QStringLiteral(" AND batch = ?");
    }
    if (!f.serial.empty()) {
        sql += QStringLiteral(" AND serial = ?");
    }
    if (!f.recipe.empty()) {
        // NAME alone: every version of it.
        sql += f.recipe.find('@') == std::string::npos
                   ? QStringLiteral(" AND (recipe = ? OR recipe LIKE ? ESCAPE '!')")
                   : QStringLiteral(" AND recipe = ?");
    }
    if (!f.workOrder.empty()) {
        sql += QStringLiteral(" AND work_order = ?");
    }
    sql += orderBy(f.order);
    if (f.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
    }
    return sql;
}

QString selectChanged(size_t watched, bool postgres) {
    QString sql = selectColumns(postgres) + QStringLiteral(" WHERE id > ?");
    if (watched > 0) {
        sql += QStringLiteral(" OR (outcome <> ? AND id IN (") +
               QStringList(qsizetype(watched), QStringLiteral("?")).join(u',') +
               QStringLiteral("))");
    }
    // Unordered: ordered here, SQLite would walk the whole table along the
    // index of start times instead of looking the ids up.
    return sql;
}

QVariantList filterValues(const HistoryFilter& f) {
    const auto text = [](const std::string& s) { return QString::fromStdString(utf8Text(s)); };
    QVariantList bound;
    if (f.sinceMs) {
        bound << qlonglong(*f.sinceMs);
    }
    if (!f.port.empty()) {
        bound << text(f.port) << text(f.port);
    }
    if (!f.outcome.empty()) {
        bound << text(f.outcome);
    }
    if (!f.sha256Prefix.empty()) {
        // Checked to be hexadecimal digits by the caller: no wildcard in it.
        bound << text(f.sha256Prefix).toLower() + u'%';
    }
    if (!f.batch.empty()) {
        bound << text(f.batch);
    }
    if (!f.serial.empty()) {
        bound << text(f.serial);
    }
    if (!f.recipe.empty()) {
        bound << text(f.recipe);
        if (f.recipe.find('@') == std::string::npos) {
            QString escaped = text(f.recipe);
            escaped.replace(u'!', QStringLiteral("!!"))
                .replace(u'%', QStringLiteral("!%"))
                .replace(u'_', QStringLiteral("!_"));
            bound << escaped + QStringLiteral("@%");
        }
    }
    if (!f.workOrder.empty()) {
        bound << text(f.workOrder);
    }
    if (f.limit > 0) {
        bound << f.limit;
    }
    return bound;
}

QVariantList values(const Attempt& attempt) {
    QVariantList bound;
    for (const Column& column : columns) {
        bound << valueOf(attempt, column.field);
    }
    return bound;
}

bool setValues(Attempt& a, const QVariantList& values) {
    const bool older = values.size() == qsizetype(columnsOfVersion2);
    if (values.size() != qsizetype(columns.size()) && !older &&
        values.size() != qsizetype(columnsOfVersion3)) {
        return false;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        setField(a, columns[i].field,
                 i < size_t(values.size()) ? values[qsizetype(i)] : QVariant());
    }
    if (older) {
        // Written by a program before units: the attempt is a unit of its
        // own, and its end says whether it reached the device, as the
        // schema's upgrade judges the rows.
        a.unitKey = a.key;
        const auto outcome = outcomeNamed(a.outcome);
        if (outcome && *outcome != Outcome::Unfinished && reachedDevice(*outcome, a.recordsSent)) {
            a.attemptNo = 1;
        }
    }
    return true;
}

void readAttempt(const QSqlQuery& query, Attempt& a) {
    a.id = query.value(0).toLongLong();
    for (size_t i = 0; i < columns.size(); ++i) {
        setField(a, columns[i].field, query.value(int(i) + 1));
    }
}

} // namespace quill::schema
