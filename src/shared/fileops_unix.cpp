// SPDX-License-Identifier: MIT
#include "shared/fileops.h"

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace quill {

bool renameFile(const std::string& from, const std::string& to, bool durably) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    const size_t slash = to.rfind('/');
    if (durably && slash != std::string::npos) {
        // The new name is the folder's data.
        const std::string folder = slash == 0 ? "/" : to.substr(0, slash);
        if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool removeFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") {
                found.push_back(name);
            }
        }
        ::closedir(dir);
    }
    return found;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

} // namespace quill
