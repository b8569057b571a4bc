// SPDX-License-Identifier: MIT
#include "history/attempt.h"

#include "quillversion.h"

#include <QDate>
#include <QDateTime>
#include <QSysInfo>
#include <QUuid>

#if defined(Q_OS_UNIX)
#include <pwd.h>
#include <unistd.h>
#endif

namespace quill {

std::string newAttemptKey() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

Attempt newAttempt(std::string program, std::string operatorName) {
    Attempt a;
    a.startedMs = QDateTime::currentMSecsSinceEpoch();
    a.station = stationName();
    a.operatorName = operatorName.empty() ? loginName() : std::move(operatorName);
    a.program = std::move(program);
    a.programVersion = QuillVersion;
    return a;
}

std::string stationName() {
    return QSysInfo::machineHostName().toStdString();
}

std::string loginName() {
#if defined(Q_OS_UNIX)
    // The account, not $USER: the record says who ran the program.
    if (const passwd* user = getpwuid(geteuid()); user != nullptr && user->pw_name != nullptr) {
        return user->pw_name;
    }
#endif
    return qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")).toStdString();
}

std::optional<int64_t> parseSince(const std::string& text) {
    const QString given = QString::fromStdString(text).trimmed();
    if (given.size() == 10) {
        if (const QDate day = QDate::fromString(given, Qt::ISODate); day.isValid()) {
            return day.startOfDay().toMSecsSinceEpoch();
        }
        return std::nullopt;
    }
    const QDateTime at = QDateTime::fromString(given, Qt::ISODateWithMs);
    if (!at.isValid()) {
        return std::nullopt;
    }
    return at.toMSecsSinceEpoch();
}

} // namespace quill
