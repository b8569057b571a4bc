// SPDX-License-Identifier: MIT
// This program's folders on Unix, by the XDG base directory rules: a
// variable that is not an absolute path is ignored, and HOME is the fallback.
#include "history/ownfolders.h"

#include "history/historytexts.h"

#include <cstdlib>

namespace quill {
namespace {

std::string xdgFolder(const char* variable, const char* underHome) {
    if (const char* set = std::getenv(variable); set != nullptr && set[0] == '/') {
        return std::string(set) + "/quill";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return std::string(home) + underHome + "/quill";
    }
    return {};
}

} // namespace

std::string ownDataFolder() {
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string ownStateFolder() {
    return xdgFolder("XDG_STATE_HOME", "/.local/state");
}

std::string ownDataFolderShown(std::string_view file, bool withDefault) {
    const std::string tail = file.empty() ? std::string() : "/" + std::string(file);
    std::string shown = text::DataFolderUnix + tail;
    if (withDefault) {
        shown += std::string(" (") + text::DataFolderUnixDefault + tail + ")";
    }
    return shown;
}

const char* postgresPasswordFile() {
    return text::PasswordFileUnix;
}

const char* noOwnDataFolder() {
    return text::HistoryNoPlace;
}

bool isAbsoluteFilePath(std::string_view path) {
    return path.starts_with('/');
}

bool postgresHasTls() {
    return true;
}

void prepareHistoryProcess() {}

} // namespace quill
