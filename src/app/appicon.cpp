// SPDX-License-Identifier: MIT
#include "app/appicon.h"

#include <QApplication>

namespace quill {

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void setApplicationIdentity() {
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILL_APP_ID));
}

} // namespace quill
