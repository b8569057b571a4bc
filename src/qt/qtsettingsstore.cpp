// SPDX-License-Identifier: MIT
#include "qt/qtsettingsstore.h"

#include "port/porttexts.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quill {
namespace {

QString settingsKey(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

} // namespace

QtSettingsStore::QtSettingsStore(const std::string& iniFilePath)
    : m_settings(QString::fromStdString(iniFilePath), QSettings::IniFormat) {}

std::string QtSettingsStore::GetSetting(const std::string& section, const std::string& key) const {
    return m_settings.value(settingsKey(section, key)).toString().toStdString();
}

// The settings may name a history with its password: they are the user's
// alone, and never written through a link into some other file.
void QtSettingsStore::SaveSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    const QString file = m_settings.fileName();
    if (QFileInfo(file).isSymLink()) {
        if (!m_refused) {
            m_refused = true;
            std::fprintf(stderr, "%s%s%s\n", text::SettingsNotSaved,
                         QFile::encodeName(file).constData(), text::SettingsIsLink);
        }
        return;
    }
    m_settings.setValue(settingsKey(section, key), QString::fromStdString(value));
    // Written at once, so that a crash or a second instance sees it.
    m_settings.sync();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace quill
