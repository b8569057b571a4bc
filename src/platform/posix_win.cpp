// SPDX-License-Identifier: MIT
#include "platform/posix_win.h"
#include "platform/widepath_win.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <direct.h>
#include <string>

namespace quill::posixwin {

std::wstring wide(const char* path) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 1) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, text.data(), length);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

int open(const char* path, OpenFlags flags, int mode) {
    const std::wstring name = wide(path);
    return name.empty() ? ::_open(path, int(flags), mode)
                        : ::_wopen(name.c_str(), int(flags), mode);
}

static_assert(sizeof(struct stat) == sizeof(struct _stat64i32), "the runtime's stat is _stat64i32");

int statUtf8(const char* path, struct stat* info) {
    const std::wstring name = wide(path);
    return name.empty() ? ::_stat64i32(path, reinterpret_cast<struct _stat64i32*>(info))
                        : ::_wstat64i32(name.c_str(), reinterpret_cast<struct _stat64i32*>(info));
}

// No file status flags to read or change: every command answers 0.
int fcntl(int fd, int /*command*/, ...) {
    if (_get_osfhandle(fd) == -1) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

int flock(int fd, int operation) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    if ((operation & LOCK_UN) != 0) {
        return UnlockFileEx(handle, 0, 1, 0, &at) ? 0 : (errno = EINVAL, -1);
    }
    DWORD flags = (operation & LOCK_EX) != 0 ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if ((operation & LOCK_NB) != 0) {
        flags |= LOCKFILE_FAIL_IMMEDIATELY;
    }
    if (LockFileEx(handle, flags, 0, 1, 0, &at)) {
        return 0;
    }
    const DWORD error = GetLastError();
    errno = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : EIO;
    return -1;
}

int fsync(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    return FlushFileBuffers(handle) ? 0 : (errno = EIO, -1);
}

int mkdir(const char* path, int /*mode*/) {
    const std::wstring name = wide(path);
    return name.empty() ? ::_mkdir(path) : ::_wmkdir(name.c_str());
}

int lstat(const char* path, struct stat* info) {
    return statUtf8(path, info);
}

void* memmem(const void* haystack, size_t haystackLength, const void* needle, size_t needleLength) {
    const auto* begin = static_cast<const char*>(haystack);
    const auto* end = begin + haystackLength;
    const auto* part = static_cast<const char*>(needle);
    const char* found = std::search(begin, end, part, part + needleLength);
    return found == end && needleLength > 0 ? nullptr : const_cast<char*>(found);
}

char* mkdtemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long seed = GetTickCount64() ^ (GetCurrentProcessId() * 2654435761ULL);
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = length - 6; i < length; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            pattern[i] = letters[(seed >> 33) % (sizeof letters - 1)];
        }
        if (mkdir(pattern, 0700) == 0) {
            return pattern;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace quill::posixwin
