// SPDX-License-Identifier: MIT
#include "ui/stationports.h"

#include "qt/portnames.h"
#include "qt/qtmscomm.h"
#include "qt/serialline.h"
#include "run/runrequest.h"

#include <QProcess>

namespace quill {

namespace {

// rfc2217://HOST:PORT, or any other URL: not a device of this machine.
bool onNetwork(const std::string& port) {
    return port.find("://") != std::string::npos;
}

} // namespace

PortEntry portEntry(const std::string& word) {
    // A URL has no "=" before its "://"; a slot's name has no "://".
    const size_t equals = word.find('=');
    if (equals == std::string::npos || word.find("://") < equals) {
        return {{}, word};
    }
    return {word.substr(0, equals), word.substr(equals + 1)};
}

std::vector<PortEntry> portEntries(const QString& text) {
    std::vector<PortEntry> entries;
    for (const QString& word : QProcess::splitCommand(text)) {
        if (!word.isEmpty()) {
            entries.push_back(portEntry(word.toStdString()));
        }
    }
    return entries;
}

QString portEntriesText(const std::vector<PortEntry>& entries) {
    QStringList words;
    for (const PortEntry& e : entries) {
        QString word = QString::fromStdString(e.name.empty() ? e.port : e.name + "=" + e.port);
        if (word.contains(u' ') || word.contains(u'"')) {
            word = u'"' + word.replace(QStringLiteral("\""), QStringLiteral("\"\"\"")) + u'"';
        }
        words << word;
    }
    return words.join(u' ');
}

std::string keptPort(const std::string& port) {
    if (port.empty() || comNumber(port) || onNetwork(port)) {
        return port;
    }
    return devicePath(port);
}

PortCheck checkPort(const std::string& device, bool open) {
    if (onNetwork(device)) {
        return {};
    }
    if (!open) {
        if (serialline::deviceMissing(device)) {
            return {PortCheck::State::Missing, {}};
        }
        if (auto denied = serialline::accessDenied(device, device)) {
            return {PortCheck::State::NoAccess, std::move(*denied)};
        }
        return {PortCheck::State::Ready, {}};
    }
    QtMSComm port([device](int16_t) { return device; });
    port.setNamedByDevice(true);
    const PortStatus status = port.setPortOpen(true);
    port.setPortOpen(false);
    if (!status) {
        return {PortCheck::State::Ready, {}};
    }
    switch (status->kind) {
    case PortErrorKind::NotFound:
        return {PortCheck::State::Missing, status->text};
    case PortErrorKind::Busy:
        return {PortCheck::State::Busy, status->text};
    case PortErrorKind::Permission:
        return {PortCheck::State::NoAccess, status->text};
    default:
        return {PortCheck::State::Other, status->text};
    }
}

} // namespace quill
