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

bool before(const HistoryOrder& order, const Attempt& a, const Attempt& b) {
    using Key = HistoryOrder::Key;
    const auto seconds = [](const Attempt& x) { return x.endedMs ? *x.endedMs - x.startedMs : -1; };
    const auto texts = [&](const std::string Attempt::*field) {
        return a.*field < b.*field ? -1 : a.*field == b.*field ? 0 : 1;
    };
    const auto numbers = [](int64_t x, int64_t y) { return x < y ? -1 : x == y ? 0 : 1; };
    int c = 0;
    switch (order.key) {
    case Key::Started:
        c = numbers(a.startedMs, b.startedMs);
        break;
    case Key::Port:
        c = texts(&Attempt::port);
        break;
    case Key::File:
        c = texts(&Attempt::filePath);
        break;
    case Key::Sha256:
        c = texts(&Attempt::sha256);
        break;
    case Key::Outcome:
        c = texts(&Attempt::outcome);
        break;
    case Key::Records:
        c = numbers(a.recordsSent, b.recordsSent);
        break;
    case Key::Seconds:
        c = numbers(seconds(a), seconds(b));
        break;
    case Key::Station:
        c = texts(&Attempt::station);
        break;
    case Key::Operator:
        c = texts(&Attempt::operatorName);
        break;
    case Key::Serial:
        c = texts(&Attempt::serial);
        break;
    case Key::Batch:
        c = texts(&Attempt::batch);
        break;
    case Key::Unit: // none first, as the database orders them
        c = numbers(a.unit.value_or(-1), b.unit.value_or(-1));
        break;
    case Key::Attempt:
        c = numbers(a.attemptNo.value_or(0), b.attemptNo.value_or(0));
        break;
    }
    if (c == 0) {
        c = numbers(a.id, b.id);
    }
    return order.descending ? c > 0 : c < 0;
}

} // namespace quill
