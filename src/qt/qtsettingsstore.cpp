// SPDX-License-Identifier: MIT
#include "qt/qtsettingsstore.h"

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

void QtSettingsStore::SaveSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    m_settings.setValue(settingsKey(section, key), QString::fromStdString(value));
    // Written at once, so that a crash or a second instance sees it.
    m_settings.sync();
}

} // namespace quill
