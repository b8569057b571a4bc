// SPDX-License-Identifier: MIT
// The user's settings on Windows: an ini file in the user's roaming
// application data folder (%APPDATA%), which the user may also edit by hand
// (the PortNames section), rather than the registry. The machine's own
// file is %ProgramData%\quill\quill.ini, for every user of the machine.
#include "qt/qtsettingsstore.h"

#include <QDir>

namespace quill {

std::string systemSettingsFile(const std::string& name) {
    QString programData = qEnvironmentVariable("ProgramData");
    if (programData.isEmpty() || !QDir::isAbsolutePath(programData)) {
        programData = QStringLiteral("C:/ProgramData");
    }
    const QString relative = QString::fromStdString(name + '/' + name + ".ini");
    return QDir::toNativeSeparators(QDir(programData).filePath(relative)).toStdString();
}

} // namespace quill
