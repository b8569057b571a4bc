// SPDX-License-Identifier: MIT
#include "hexfile/stdhexfile.h"

#include "shared/filestatus.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quill {

namespace {

constexpr char cr = '\r';
constexpr char lf = '\n';

// FNV-1a, 64 bits: cheap enough to run over every line as it is read.
constexpr uint64_t fnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t fnvPrime = 0x100000001b3ull;

uint64_t fnv(uint64_t hash, const char* begin, const char* end) {
    for (const char* p = begin; p != end; ++p) {
        hash = (hash ^ static_cast<unsigned char>(*p)) * fnvPrime;
    }
    return hash;
}

// A UTF-8 byte-order mark, as some editors write at the start of a text file.
constexpr unsigned char byteOrderMark[] = {0xEF, 0xBB, 0xBF};

// The modification and change times, to the nanosecond where the system
// keeps them so (Windows' C runtime gives whole seconds).
template <typename Stat> bool sameTimes(const Stat& a, const Stat& b) {
    if constexpr (requires { a.st_mtim.tv_nsec; }) {
        return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    } else {
        return a.st_mtime == b.st_mtime && a.st_ctime == b.st_ctime;
    }
}

} // namespace

StdHexFile::StdHexFile() : m_buffer(bufferSize) {}

StdHexFile::~StdHexFile() {
    close();
}

// Opened without blocking: a FIFO with no writer would otherwise wait for
// one for ever. Only a regular file is read; devices such as /dev/zero never
// end, and a directory has no lines.
bool StdHexFile::open(const std::string& path) {
    close();
    if (m_memory) {
        m_fd = 0; // open: there is no descriptor to close
        m_path = path;
        m_length = static_cast<int64_t>(m_memory->size());
        resetReading();
        return true;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_length = info.st_size;
    m_checked = info;
    resetReading();
    return true;
}

bool StdHexFile::close() {
    resetReading();
    m_length = 0;
    m_path.clear();
    m_watched = false;
    m_changed = false;
    if (m_fd < 0) {
        return true;
    }
    if (m_memory) {
        m_fd = -1;
        return true;
    }
    const int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
}

void StdHexFile::resetReading() {
    m_begin = 0;
    m_end = 0;
    m_failed = false;
    m_lineTooLong = false;
    m_digest = fnvOffset;
    m_atStart = true;
    m_memoryAt = 0;
    m_hash.reset();
    m_identity = {};
}

// Only called with the buffer used up. False when nothing more could be read,
// at the end of the file, on a read error, or when the file has changed
// since it was checked: nothing of a changed file is read.
bool StdHexFile::fill() {
    m_begin = 0;
    m_end = 0;
    if (m_watched && changedSinceChecked()) {
        m_changed = true;
        return false;
    }
    const ssize_t n = static_cast<ssize_t>(readSome(m_buffer.data(), m_buffer.size()));
    if (m_failed) {
        return false;
    }
    m_end = static_cast<size_t>(n);
    if (n == 0) {
        if (!m_identity.known()) {
            m_identity.sha256 = m_hash.finish();
        }
        return false;
    }
    m_hash.add(m_buffer.data(), m_end);
    m_identity.size += n;
    // A byte-order mark before the first line is not part of it: the line
    // is read, and sent, as it stands after the mark. Anywhere else the
    // bytes are what they are.
    if (m_atStart) {
        m_atStart = false;
        if (m_end >= sizeof byteOrderMark &&
            std::equal(std::begin(byteOrderMark), std::end(byteOrderMark),
                       reinterpret_cast<const unsigned char*>(m_buffer.data()))) {
            m_begin = sizeof byteOrderMark;
            if (m_begin == m_end) {
                return fill();
            }
        }
    }
    return true;
}

// The next bytes, from memory or from the file; sets m_failed on a read error.
size_t StdHexFile::readSome(char* into, size_t size) {
    if (m_memory) {
        const size_t n = std::min(size, m_memory->size() - m_memoryAt);
        std::copy_n(m_memory->data() + m_memoryAt, n, reinterpret_cast<uint8_t*>(into));
        m_memoryAt += n;
        return n;
    }
    ssize_t n = 0;
    do {
        n = ::read(m_fd, into, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        m_failed = true;
        return 0;
    }
    return static_cast<size_t>(n);
}

bool StdHexFile::eof() {
    if (m_fd < 0) {
        return true;
    }
    return m_begin == m_end && !fill();
}

bool StdHexFile::readLine(std::string& line) {
    line.clear();
    m_lineTooLong = false;
    if (eof()) {
        return false;
    }
    for (;;) {
        const char* begin = m_buffer.data() + m_begin;
        const char* end = m_buffer.data() + m_end;
        const char* stop = std::find_if(begin, end, [](char c) { return c == cr || c == lf; });
        // Beyond the bound the line is read past in constant memory.
        const size_t room = maxLineBytes - line.size();
        const size_t piece = static_cast<size_t>(stop - begin);
        line.append(begin, begin + std::min(piece, room));
        m_lineTooLong = m_lineTooLong || piece > room;
        m_digest = fnv(m_digest, begin, stop);
        if (stop == end) {
            // No terminator in what is buffered: the line goes on in the next
            // fill, or it is the file's last line without one.
            m_begin = m_end;
            if (!fill()) {
                // The rest of the line is in a file that changed, or could
                // not be read: no half line goes out as if it were whole.
                if (m_changed || m_failed) {
                    line.clear();
                    return false;
                }
                break;
            }
            continue;
        }
        m_begin = static_cast<size_t>(stop - m_buffer.data()) + 1;
        // CR LF is one terminator, even when the CR ends one fill and the LF
        // starts the next.
        if (*stop == cr && !eof() && m_buffer[m_begin] == lf) {
            ++m_begin;
        }
        break;
    }
    // The end of a line counts, so that lines split differently differ.
    m_digest = (m_digest ^ static_cast<unsigned char>(lf)) * fnvPrime;
    return true;
}

bool StdHexFile::rewind() {
    if (m_fd < 0) {
        return false;
    }
    resetReading();
    return m_memory || ::lseek(m_fd, 0, SEEK_SET) == 0;
}

void StdHexFile::markChecked() {
    if (m_fd >= 0 && !m_memory) {
        ::fstat(m_fd, &m_checked);
        m_watched = true;
        m_changed = false;
    }
}

// A write changes the size or the modification and change times; a
// replacement (a new file renamed over the old one) leaves the open handle
// on the old file and makes the path name another.
bool StdHexFile::changedSinceChecked() const {
    if (m_fd < 0 || m_changed) {
        return true;
    }
    if (m_memory) {
        return false;
    }
    struct stat now {};
    struct stat named {};
    if (::fstat(m_fd, &now) != 0 || pathStatus(m_path, &named) != 0) {
        return true;
    }
    // Windows numbers no files (st_ino 0), and a file open there cannot be
    // replaced: the path names the file open.
    const bool replaced =
        now.st_ino != 0 && (named.st_dev != now.st_dev || named.st_ino != now.st_ino);
    return now.st_size != m_checked.st_size || !sameTimes(now, m_checked) || replaced;
}

} // namespace quill
