// SPDX-License-Identifier: MIT
#include "shared/fileops.h"

#include "platform/widepath_win.h"

#include <windows.h>

#include <cerrno>
#include <direct.h>
#include <io.h>

namespace quill {

namespace {

using posixwin::wide;

void setErrno(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    default:
        errno = EIO;
    }
}

// A name the system gave as UTF-16, as the portable code holds it.
std::string utf8(const wchar_t* name) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

} // namespace

bool renameFile(const std::string& from, const std::string& to, bool durably) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durably ? MOVEFILE_WRITE_THROUGH : 0);
    const std::wstring wideFrom = wide(from.c_str());
    const std::wstring wideTo = wide(to.c_str());
    const BOOL moved = !wideFrom.empty() && !wideTo.empty()
                           ? MoveFileExW(wideFrom.c_str(), wideTo.c_str(), flags)
                           : MoveFileExA(from.c_str(), to.c_str(), flags);
    if (!moved) {
        setErrno(GetLastError());
    }
    return moved != FALSE;
}

bool removeFile(const std::string& path) {
    const std::wstring name = wide(path.c_str());
    return (name.empty() ? ::_unlink(path.c_str()) : ::_wunlink(name.c_str())) == 0;
}

bool removeFolder(const std::string& path) {
    const std::wstring name = wide(path.c_str());
    return (name.empty() ? ::_rmdir(path.c_str()) : ::_wrmdir(name.c_str())) == 0;
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> found;
    const std::wstring name = wide((folder + "/*").c_str());
    if (name.empty()) {
        return found; // no folder of ours is named in the code page
    }
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(name.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::string each = utf8(entry.cFileName);
        if (!each.empty() && each != "." && each != "..") {
            found.push_back(each);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    const std::wstring name = wide(path.c_str());
    const std::wstring wideMode = wide(mode);
    return name.empty() ? std::fopen(path.c_str(), mode)
                        : ::_wfopen(name.c_str(), wideMode.c_str());
}

} // namespace quill
