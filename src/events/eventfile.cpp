// SPDX-License-Identifier: MIT
#include "events/eventfile.h"

#include "events/eventtexts.h"
#include "shared/filepath.h"
#include "shared/filestatus.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quill::events {

namespace {

bool fileOrFifo(mode_t mode) {
    return S_ISREG(mode) || S_ISFIFO(mode);
}

std::string failed(const std::string& path, const std::string& reason) {
    return text::FileNotCreated + path + " (" + reason + ")";
}

} // namespace

std::FILE* openEventsFile(const std::string& path, const std::function<bool()>& stopped,
                          std::string& problem) {
    // Opening a device may already act on it (a serial port's lines), so
    // what is there is looked at first.
    struct stat there {};
    if (pathStatus(path, &there) == 0 && !fileOrFifo(there.st_mode)) {
        problem = text::FileNotCreated + path + text::NotFileOrFifo;
        return nullptr;
    }
    std::error_code error;
    if (const auto folder = filePath(path).parent_path(); !folder.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    // Without a reader, a FIFO opened without blocking answers ENXIO at once.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(fifoReaderWaitMs);
    int fd = -1;
    while ((fd = ::open(path.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666)) <
               0 &&
           errno == ENXIO) {
        if ((stopped && stopped()) || std::chrono::steady_clock::now() >= deadline) {
            problem = text::FileNotCreated + path + text::FifoWithoutReader;
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(fifoReaderPollMs));
    }
    if (fd < 0) {
        problem = failed(path, error ? error.message() : std::strerror(errno));
        return nullptr;
    }
    // Whatever was put in its place meanwhile is looked at again; a FIFO's
    // writes wait for its reader as a pipe's do.
    if (::fstat(fd, &there) != 0 || !fileOrFifo(there.st_mode) ||
        (S_ISFIFO(there.st_mode) &&
         ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        ::close(fd);
        problem = text::FileNotCreated + path + text::NotFileOrFifo;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "w");
    if (file == nullptr) {
        problem = failed(path, std::strerror(errno));
        ::close(fd);
    }
    return file;
}

} // namespace quill::events
