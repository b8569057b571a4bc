// SPDX-License-Identifier: MIT
// A failing disk for the tests, loaded into a program with LD_PRELOAD:
// read() of the file QUILL_READ_FAULT_PATH names fails with EIO from byte
// QUILL_READ_FAULT_AT on, in the QUILL_READ_FAULT_PASS'th reading of the
// file from its start (1 for the first), as a disk or a network share that
// fails under the program would. Every other read is the system's.

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

using ReadFunction = ssize_t (*)(int, void*, size_t);

std::atomic<int> passes{0};

long number(const char* name) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
}

bool isTheFile(int fd, const char* path) {
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 && static_cast<size_t>(n) == std::strlen(path) &&
           std::memcmp(target, path, static_cast<size_t>(n)) == 0;
}

} // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto real = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    static const char* path = std::getenv("QUILL_READ_FAULT_PATH");
    if (path == nullptr || !isTheFile(fd, path)) {
        return real(fd, buffer, count);
    }
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    const int pass = at == 0 ? ++passes : passes.load();
    const off_t failAt = number("QUILL_READ_FAULT_AT");
    if (pass == number("QUILL_READ_FAULT_PASS") && at + static_cast<off_t>(count) > failAt) {
        if (at >= failAt) {
            errno = EIO;
            return -1;
        }
        count = static_cast<size_t>(failAt - at);
    }
    return real(fd, buffer, count);
}
