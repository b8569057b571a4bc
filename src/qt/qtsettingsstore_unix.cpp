// SPDX-License-Identifier: MIT
// The user's settings where a Unix desktop keeps them: an ini file in the
// XDG configuration folder, which the user may also edit by hand (the
// PortNames section).
#include "qt/qtsettingsstore.h"

#include <QCoreApplication>

namespace quill {

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::applicationName(),
                 QCoreApplication::applicationName()) {}

} // namespace quill
