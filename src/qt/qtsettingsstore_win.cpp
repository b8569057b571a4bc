// SPDX-License-Identifier: MIT
// The user's settings on Windows: an ini file in the user's roaming
// application data folder (%APPDATA%), which the user may also edit by hand
// (the PortNames section), rather than the registry.
#include "qt/qtsettingsstore.h"

#include <QCoreApplication>

namespace quill {

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::applicationName(),
                 QCoreApplication::applicationName()) {}

} // namespace quill
