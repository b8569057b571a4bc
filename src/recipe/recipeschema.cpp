// SPDX-License-Identifier: MIT
#include "recipe/recipeschema.h"

#include "shared/module1.h"
#include "shared/utf8text.h"

#include <QByteArray>
#include <QSqlQuery>

namespace quill::recipeschema {

namespace {

// Every column but the firmware, in the order values() and readRecipe() take them.
constexpr const char* columns =
    "name, version, file_name, sha256, device, baud, allow_no_end, allow_after_end, "
    "idle_timeout_s, settle_ms, serial_address, serial_size, serial_format, serial_series, "
    "serial_start, note, published_by, station, published_ms, state, firmware_size";

QString qtext(const std::string& s) {
    return QString::fromStdString(utf8Text(s));
}

std::string bytes(const QVariant& v) {
    return v.toString().toStdString();
}

} // namespace

QStringList creation(bool postgres) {
    const QString blob = postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS quill_recipe_schema (version INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS quill_recipe ("
                       "name TEXT NOT NULL, version INTEGER NOT NULL, file_name TEXT, "
                       "sha256 TEXT NOT NULL, device TEXT NOT NULL, baud INTEGER NOT NULL, "
                       "allow_no_end INTEGER NOT NULL, allow_after_end INTEGER NOT NULL, "
                       "idle_timeout_s INTEGER NOT NULL, settle_ms INTEGER NOT NULL, "
                       "serial_address BIGINT, serial_size INTEGER, serial_format TEXT, "
                       "serial_series TEXT, serial_start BIGINT, note TEXT, published_by TEXT, "
                       "station TEXT, published_ms BIGINT NOT NULL, state TEXT NOT NULL, "
                       "firmware_size BIGINT NOT NULL, firmware %1 NOT NULL, "
                       "PRIMARY KEY (name, version))")
            .arg(blob),
        QStringLiteral("CREATE TABLE IF NOT EXISTS quill_work_order ("
                       "name TEXT PRIMARY KEY, recipe_name TEXT NOT NULL, "
                       "recipe_version INTEGER NOT NULL, quantity BIGINT NOT NULL, "
                       "taken BIGINT NOT NULL DEFAULT 0, state TEXT NOT NULL, opened_by TEXT, "
                       "station TEXT, opened_ms BIGINT NOT NULL, "
                       "CHECK (taken >= 0 AND taken <= quantity))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS quill_order_place ("
                       "order_name TEXT NOT NULL, unit_key TEXT NOT NULL, attempt_key TEXT, "
                       "station TEXT, state TEXT NOT NULL, taken_ms BIGINT NOT NULL, "
                       "PRIMARY KEY (order_name, unit_key))"),
    };
}

QString versionQuery() {
    return QStringLiteral("SELECT version FROM quill_recipe_schema");
}

QString versionInsert() {
    return QStringLiteral("INSERT INTO quill_recipe_schema (version) VALUES (?)");
}

QString insertRecipe() {
    return QStringLiteral("INSERT INTO quill_recipe (%1, firmware) VALUES (%2?)")
        .arg(QLatin1String(columns), QStringLiteral("?, ").repeated(21));
}

QVariantList values(const Recipe& r) {
    const RecipeSettings& s = r.settings;
    const bool serial = s.serial.address.has_value();
    const QVariant none;
    return {
        qtext(r.name), r.version, qtext(r.fileName), QString::fromStdString(r.sha256),
        s.device == device_tracker ? QStringLiteral("tracker") : QStringLiteral("manual"), s.baud,
        int(s.risks.noEndRecord), int(s.risks.recordsAfterEnd), s.idleTimeoutSeconds, s.settleMs,
        serial ? QVariant(qlonglong(*s.serial.address)) : none,
        serial ? QVariant(int(s.serial.size)) : none,
        serial ? QVariant(QLatin1String(serialFormatName(s.serial.format))) : none,
        serial ? QVariant(qtext(s.serial.series)) : none,
        serial ? QVariant(qlonglong(s.serial.start)) : none, qtext(r.note), qtext(r.publishedBy),
        qtext(r.station), qlonglong(r.publishedMs), recipeStateName(r.state),
        qlonglong(r.firmware.size()),
        // Bound as bytes: a BLOB, a BYTEA, never text.
        QByteArray(reinterpret_cast<const char*>(r.firmware.data()), qsizetype(r.firmware.size()))};
}

QString selectRecipes(const QString& where, bool withFirmware) {
    return QStringLiteral("SELECT %1%2 FROM quill_recipe %3")
        .arg(QLatin1String(columns), withFirmware ? QStringLiteral(", firmware") : QString(),
             where);
}

Recipe readRecipe(const QSqlQuery& q, bool withFirmware, int64_t* firmwareSize) {
    Recipe r;
    RecipeSettings& s = r.settings;
    r.name = bytes(q.value(0));
    r.version = q.value(1).toInt();
    r.fileName = bytes(q.value(2));
    r.sha256 = bytes(q.value(3));
    s.device = q.value(4).toString() == QStringLiteral("tracker") ? device_tracker : device_manual;
    s.baud = q.value(5).toInt();
    s.risks.noEndRecord = q.value(6).toInt() != 0;
    s.risks.recordsAfterEnd = q.value(7).toInt() != 0;
    s.idleTimeoutSeconds = q.value(8).toInt();
    s.settleMs = q.value(9).toInt();
    if (!q.value(10).isNull()) {
        s.serial.address = uint32_t(q.value(10).toLongLong());
        s.serial.size = size_t(q.value(11).toInt());
        s.serial.format =
            serialFormatNamed(bytes(q.value(12))).value_or(SerialFormat::LittleEndian);
        s.serial.series = bytes(q.value(13));
        s.serial.start = uint64_t(q.value(14).toLongLong());
    }
    r.note = bytes(q.value(15));
    r.publishedBy = bytes(q.value(16));
    r.station = bytes(q.value(17));
    r.publishedMs = q.value(18).toLongLong();
    r.state = q.value(19).toString() == recipeStateName(RecipeState::Retired)
                  ? RecipeState::Retired
                  : RecipeState::Released;
    if (firmwareSize != nullptr) {
        *firmwareSize = q.value(20).toLongLong();
    }
    if (withFirmware) {
        const QByteArray firmware = q.value(21).toByteArray();
        r.firmware.assign(firmware.begin(), firmware.end());
    }
    return r;
}

QString recipeStateName(RecipeState state) {
    return state == RecipeState::Retired ? QStringLiteral("retired") : QStringLiteral("released");
}

QString orderStateName(OrderState state) {
    return state == OrderState::Closed ? QStringLiteral("closed") : QStringLiteral("open");
}

} // namespace quill::recipeschema
