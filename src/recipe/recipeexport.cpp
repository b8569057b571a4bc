// SPDX-License-Identifier: MIT
#include "recipe/recipeexport.h"

#include "recipe/recipetexts.h"
#include "shared/module1.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <limits>

namespace quill {

namespace {

// Far above any firmware a device holds, base64 and the fields included.
constexpr qint64 maxFileBytes = 512ll * 1024 * 1024;

QString qtext(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QByteArray recipeJson(const Recipe& r) {
    const RecipeSettings& s = r.settings;
    QJsonObject o{
        {QStringLiteral("format"), QLatin1String(RecipeFileFormat)},
        {QStringLiteral("formatVersion"), RecipeFileVersion},
        {QStringLiteral("name"), qtext(r.name)},
        {QStringLiteral("version"), r.version},
        {QStringLiteral("state"),
         r.state == RecipeState::Retired ? QStringLiteral("retired") : QStringLiteral("released")},
        {QStringLiteral("fileName"), qtext(r.fileName)},
        {QStringLiteral("device"),
         s.device == device_tracker ? QStringLiteral("tracker") : QStringLiteral("manual")},
        {QStringLiteral("baud"), s.baud},
        {QStringLiteral("allowNoEndRecord"), s.risks.noEndRecord},
        {QStringLiteral("allowRecordsAfterEnd"), s.risks.recordsAfterEnd},
        {QStringLiteral("idleTimeoutSeconds"), s.idleTimeoutSeconds},
        {QStringLiteral("settleMs"), s.settleMs},
        {QStringLiteral("note"), qtext(r.note)},
        {QStringLiteral("publishedBy"), qtext(r.publishedBy)},
        {QStringLiteral("station"), qtext(r.station)},
        {QStringLiteral("publishedMs"), double(r.publishedMs)},
        {QStringLiteral("size"), double(r.firmware.size())},
        {QStringLiteral("sha256"), qtext(r.sha256)},
    };
    if (s.serial.address) {
        o.insert(QStringLiteral("serial"),
                 QJsonObject{
                     {QStringLiteral("address"), double(*s.serial.address)},
                     {QStringLiteral("size"), int(s.serial.size)},
                     {QStringLiteral("format"), QLatin1String(serialFormatName(s.serial.format))},
                     {QStringLiteral("series"), qtext(s.serial.series)},
                     {QStringLiteral("start"), QString::number(s.serial.start)}});
    }
    o.insert(QStringLiteral("firmware"),
             QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(r.firmware.data()),
                                            qsizetype(r.firmware.size()))
                                     .toBase64()));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<Recipe> recipeFromJson(const QByteArray& json, std::string& problem) {
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String(RecipeFileFormat)) {
        problem = text::ImportNotRecipe;
        return std::nullopt;
    }
    if (o.value(QStringLiteral("formatVersion")).toInt() > RecipeFileVersion) {
        problem = text::ImportNewerFormat;
        return std::nullopt;
    }
    std::string bad;
    const auto field = [&](const char* name) {
        const QJsonValue v = o.value(QLatin1String(name));
        if (v.isUndefined() && bad.empty()) {
            bad = name;
        }
        return v;
    };
    const auto string = [&](const char* name) { return field(name).toString().toStdString(); };
    const auto whole = [&](const char* name, int min, int max) {
        const int n = field(name).toInt(min - 1);
        if ((n < min || n > max) && bad.empty()) {
            bad = name;
        }
        return n;
    };
    Recipe r;
    RecipeSettings& s = r.settings;
    r.name = string("name");
    r.version = whole("version", 1, std::numeric_limits<int>::max());
    r.state = string("state") == "retired" ? RecipeState::Retired : RecipeState::Released;
    r.fileName = string("fileName");
    s.device = string("device") == "tracker" ? device_tracker : device_manual;
    s.baud = whole("baud", 1, 4'000'000);
    s.risks.noEndRecord = field("allowNoEndRecord").toBool();
    s.risks.recordsAfterEnd = field("allowRecordsAfterEnd").toBool();
    s.idleTimeoutSeconds = whole("idleTimeoutSeconds", 0, maxIdleTimeoutSeconds);
    s.settleMs = whole("settleMs", 0, maxSettleMs);
    r.note = string("note");
    r.publishedBy = string("publishedBy");
    r.station = string("station");
    r.publishedMs = int64_t(field("publishedMs").toDouble());
    r.sha256 = string("sha256");
    if (const QJsonValue serial = o.value(QStringLiteral("serial")); serial.isObject()) {
        const QJsonObject n = serial.toObject();
        const double address = n.value(QStringLiteral("address")).toDouble(-1);
        const auto format =
            serialFormatNamed(n.value(QStringLiteral("format")).toString().toStdString());
        bool startOk = false;
        s.serial.start = n.value(QStringLiteral("start")).toString().toULongLong(&startOk);
        s.serial.size = size_t(n.value(QStringLiteral("size")).toInt());
        s.serial.series = n.value(QStringLiteral("series")).toString().toStdString();
        if (address < 0 || address > 0xffffffff || !format || !startOk ||
            s.serial.start > maxSerialStart || s.serial.size < 1 || s.serial.size > maxSerialSize) {
            bad = "serial";
        }
        s.serial.address = uint32_t(address);
        s.serial.format = format.value_or(SerialFormat::LittleEndian);
    }
    const QByteArray firmware = QByteArray::fromBase64(field("firmware").toString().toLatin1());
    r.firmware.assign(firmware.begin(), firmware.end());
    if (const char* wrong = nameProblem(r.name); wrong != nullptr && bad.empty()) {
        bad = std::string("name (") + wrong + ')';
    }
    if (!bad.empty()) {
        problem = text::ImportBadField + bad;
        return std::nullopt;
    }
    const std::string sha256 =
        QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex().toStdString();
    if (sha256 != r.sha256 || field("size").toDouble() != double(firmware.size())) {
        problem = text::RecipeShaMismatch;
        return std::nullopt;
    }
    return r;
}

bool writeRecipeFile(const std::string& path, const Recipe& recipe, std::string& error) {
    QSaveFile file(QString::fromStdString(path));
    const QByteArray json = recipeJson(recipe);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

std::optional<Recipe> readRecipeFile(const std::string& path, std::string& problem) {
    // Only a regular file: a FIFO would hold the command until a writer came.
    const QString name = QString::fromStdString(path);
    if (QFileInfo::exists(name) && !QFileInfo(name).isFile()) {
        problem = text::ImportNotFile;
        return std::nullopt;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray json = file.read(maxFileBytes + 1);
    if (json.size() > maxFileBytes) {
        problem = text::ImportTooBig;
        return std::nullopt;
    }
    return recipeFromJson(json, problem);
}

} // namespace quill
