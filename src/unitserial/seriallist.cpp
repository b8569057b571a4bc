// SPDX-License-Identifier: MIT
#include "unitserial/seriallist.h"

#include "hexfile/sha256.h"
#include "unitserial/serialtexts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quill {

namespace {

// The file's bytes, at most maxSerialListBytes of them; a problem's end
// ("...: split it ...") when they cannot be had.
std::string readBounded(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return text::SerialListNotOpened + std::string(std::strerror(errno)) +
               text::SerialListNotOpenedEnd;
    }
    struct stat info {};
    std::string problem;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = text::SerialListNotFile;
    } else if (static_cast<uint64_t>(info.st_size) > maxSerialListBytes) {
        problem = text::SerialListTooBig;
    }
    // A file that grows while it is read stops one byte past the limit.
    char buffer[65536];
    while (problem.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            problem = text::SerialListNotOpened + std::string(std::strerror(errno)) +
                      text::SerialListNotOpenedEnd;
        } else if (n == 0) {
            break;
        } else if (bytes.size() + static_cast<size_t>(n) > maxSerialListBytes) {
            problem = text::SerialListTooBig;
        } else {
            bytes.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return problem;
}

// A line as a message may quote it: printable, and short.
std::string quoted(std::string_view line) {
    std::string shown;
    for (const char c : line.substr(0, 40)) {
        shown += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return "\"" + shown + (line.size() > 40 ? "...\"" : "\"");
}

// A value's bytes, at most 8 of them, as one key.
uint64_t keyOf(const std::vector<uint8_t>& bytes) {
    uint64_t key = 0;
    for (const uint8_t b : bytes) {
        key = key << 8 | b;
    }
    return key;
}

// What is wrong with a line that is no value in the number's form, and how
// to write one.
std::string badLine(size_t number, const std::string& where, std::string_view line, size_t size,
                    SerialFormat format) {
    const bool ascii = format == SerialFormat::Ascii;
    std::string problem = text::SerialListLine + std::to_string(number) + where;
    problem += " (" + quoted(line) + ")";
    problem += ascii ? text::SerialListNotAscii : text::SerialListNotBinary;
    problem += std::to_string(size);
    problem += ascii ? text::SerialListAsciiHint : text::SerialListBinaryHint;
    return problem;
}

} // namespace

SerialList readSerialList(const std::string& path, size_t size, SerialFormat format) {
    SerialList list;
    std::string bytes;
    const std::string where = text::SerialListOf + path;
    if (const std::string problem = readBounded(path, bytes); !problem.empty()) {
        list.problem = text::SerialListPrefix + path + problem;
        return list;
    }
    Sha256 hash;
    hash.add(bytes.data(), bytes.size());
    list.sha256 = hash.finish();
    std::unordered_map<uint64_t, size_t> seen; // a value, and its line
    for (size_t from = 0; from < bytes.size() && list.problem.empty();) {
        const size_t end = std::min(bytes.find('\n', from), bytes.size());
        std::string line = bytes.substr(from, end - from);
        from = end + 1;
        list.lines.push_back(line);
        const size_t number = list.lines.size();
        const auto value = listedSerial(line, size, format);
        if (!value) {
            list.problem = badLine(number, where, line, size, format);
        } else if (const auto [at, fresh] = seen.emplace(keyOf(value->bytes), number); !fresh) {
            list.problem = text::SerialListLines + std::to_string(at->second) +
                           text::SerialListAnd + std::to_string(number) + where +
                           text::SerialListSame;
        }
    }
    if (list.problem.empty() && list.lines.empty()) {
        list.problem = text::SerialListPrefix + path + text::SerialListEmpty;
    }
    if (!list.problem.empty()) {
        list.lines.clear();
    }
    return list;
}

} // namespace quill
