// SPDX-License-Identifier: MIT
#include "qt/qtsettingsstore.h"

#include "port/porttexts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quill {
namespace {

QString settingsKey(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

// A value as the store reads it: an ini value with a comma is a list to
// QSettings, and is the text as written here.
std::string valueText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    }
    return value.toString().toStdString();
}

} // namespace

// The user's file where this system keeps it, and the machine's file that
// systemSettingsFile names.
QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::applicationName(),
                 QCoreApplication::applicationName()),
      m_fixed(readFixedSettings(
          systemSettingsFile(QCoreApplication::applicationName().toStdString()))) {}

QtSettingsStore::QtSettingsStore(const std::string& iniFilePath, const std::string& systemFile)
    : m_settings(QString::fromStdString(iniFilePath), QSettings::IniFormat),
      m_fixed(systemFile.empty() ? FixedSettings{} : readFixedSettings(systemFile)) {}

std::string QtSettingsStore::GetSetting(const std::string& section, const std::string& key) const {
    if (const std::string* fixed = m_fixed.find(section, key)) {
        return *fixed;
    }
    return m_settings.value(settingsKey(section, key)).toString().toStdString();
}

FixedSettings QtSettingsStore::fixedSettings() const {
    FixedSettings fixed = m_fixed;
    // The user's file alone (the store itself falls back on the system's),
    // as it is now: it may have been edited since.
    m_settings.sync();
    const QSettings user(m_settings.fileName(), QSettings::IniFormat);
    for (const FixedSetting& s : fixed.values) {
        const QString key = settingsKey(s.section, s.key);
        if (user.contains(key) && valueText(user.value(key)) != s.value) {
            fixed.overridden.push_back({s.section, s.key, valueText(user.value(key))});
        }
    }
    return fixed;
}

FixedSettings readFixedSettings(const std::string& file) {
    FixedSettings fixed;
    fixed.file = file;
    const QString name = QString::fromStdString(file);
    const QFileInfo info(name);
    if (!info.exists()) {
        return fixed;
    }
    QSettings system(name, QSettings::IniFormat);
    if (!info.isReadable() || system.status() != QSettings::NoError) {
        fixed.unreadable = true;
        return fixed;
    }
    for (const QString& key : system.allKeys()) {
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        // Keys outside a section are [General]'s to QSettings.
        fixed.values.push_back({slash < 0 ? std::string("General") : key.left(slash).toStdString(),
                                key.mid(slash + 1).toStdString(), valueText(system.value(key))});
    }
    return fixed;
}

// The settings may name a history with its password: they are the user's
// alone, and never written through a link into some other file.
void QtSettingsStore::SaveSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    if (m_fixed.find(section, key) != nullptr) {
        return;
    }
    const QString file = m_settings.fileName();
    if (QFileInfo(file).isSymLink()) {
        if (!m_refused) {
            m_refused = true;
            std::fprintf(stderr, "%s%s%s\n", text::SettingsNotSaved, file.toUtf8().constData(),
                         text::SettingsIsLink);
        }
        return;
    }
    m_settings.setValue(settingsKey(section, key), QString::fromStdString(value));
    // Written at once, so that a crash or a second instance sees it.
    m_settings.sync();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace quill
