// SPDX-License-Identifier: MIT
// This program's folders on Windows: the application's data folder that Qt
// names from the system (%APPDATA%\quill), whatever XDG or HOME a shell
// may have set. The paths are Qt's, with forward slashes, which Windows
// takes as well.
#include "history/ownfolders.h"

#include "history/historytexts.h"

#include <QStandardPaths>
#include <QtGlobal>

namespace quill {

std::string ownDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
}

std::string ownStateFolder() {
    return ownDataFolder();
}

std::string ownDataFolderShown(std::string_view file, bool /*withDefault*/) {
    // Windows has one place, whatever a shell has set: no default to name.
    return text::DataFolderWindows + (file.empty() ? std::string() : "\\" + std::string(file));
}

const char* postgresPasswordFile() {
    return text::PasswordFileWindows;
}

const char* noOwnDataFolder() {
    return text::HistoryNoPlaceWindows;
}

bool isAbsoluteFilePath(std::string_view path) {
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && slash(path[2]);
    const bool share = path.size() >= 2 && slash(path[0]) && slash(path[1]);
    // A path from the current drive's root (\tmp\x, /tmp/x) is taken too:
    // Wine's programs are given host paths so.
    return drive || share || (!path.empty() && slash(path[0]));
}

bool postgresHasTls() {
    return false; // libpq built without OpenSSL
}

void prepareHistoryProcess() {
    qputenv("QT_ENABLE_REGEXP_JIT", "0"); // read once, at the first expression compiled
}

} // namespace quill
