// SPDX-License-Identifier: MIT
// The user's settings where a Unix desktop keeps them: an ini file in the
// XDG configuration folder, which the user may also edit by hand (the
// PortNames section). The machine's own file is in the system's XDG
// configuration folders, as Qt's system scope has it; looked up here so
// that a message can name the one file that fixes a key.
#include "qt/qtsettingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quill {

std::string systemSettingsFile(const std::string& name) {
    const QString relative = QString::fromStdString(name + '/' + name + ".ini");
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative folders are not the system's: the XDG rules ignore them.
        if (QDir::isAbsolutePath(dir) && QFileInfo::exists(QDir(dir).filePath(relative))) {
            return QFile::encodeName(QDir(dir).filePath(relative)).toStdString();
        }
    }
    return QFile::encodeName(QDir(QStringLiteral("/etc/xdg")).filePath(relative)).toStdString();
}

} // namespace quill
