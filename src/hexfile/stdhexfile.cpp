// SPDX-License-Identifier: MIT
#include "hexfile/stdhexfile.h"

#include <algorithm>

namespace quill {

namespace {

constexpr char cr = '\r';
constexpr char lf = '\n';

} // namespace

StdHexFile::StdHexFile() : m_buffer(bufferSize) {}

StdHexFile::~StdHexFile() {
    close();
}

bool StdHexFile::open(const std::string& path) {
    close();
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) {
        return false;
    }
    // Our own buffer does the buffering; a second one in the C library would
    // only copy every byte twice.
    std::setvbuf(m_file, nullptr, _IONBF, 0);

    // The length first, then the first fill: on some systems a directory opens
    // like a file and only the first read fails, so that read belongs to open.
    bool ok = std::fseek(m_file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(m_file) : -1L;
    ok = ok && size >= 0 && std::fseek(m_file, 0, SEEK_SET) == 0;
    if (ok) {
        m_length = size;
        fill();
        ok = std::ferror(m_file) == 0;
    }
    if (!ok) {
        close();
    }
    return ok;
}

bool StdHexFile::close() {
    m_begin = 0;
    m_end = 0;
    m_length = 0;
    m_failed = false;
    if (m_file == nullptr) {
        return true;
    }
    const int rc = std::fclose(m_file);
    m_file = nullptr;
    return rc == 0;
}

// Only called with the buffer used up. False when nothing more could be read,
// at the end of the file or on a read error.
bool StdHexFile::fill() {
    m_begin = 0;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (m_end == 0 && std::ferror(m_file) != 0) {
        m_failed = true;
    }
    return m_end > 0;
}

bool StdHexFile::eof() {
    if (m_file == nullptr) {
        return true;
    }
    return m_begin == m_end && !fill();
}

bool StdHexFile::readLine(std::string& line) {
    line.clear();
    if (eof()) {
        return false;
    }
    for (;;) {
        const char* begin = m_buffer.data() + m_begin;
        const char* end = m_buffer.data() + m_end;
        const char* stop = std::find_if(begin, end, [](char c) { return c == cr || c == lf; });
        line.append(begin, stop);
        if (stop == end) {
            // No terminator in what is buffered: the line goes on in the next
            // fill, or it is the file's last line without one.
            if (!fill()) {
                return true;
            }
            continue;
        }
        m_begin = static_cast<size_t>(stop - m_buffer.data()) + 1;
        // CR LF is one terminator, even when the CR ends one fill and the LF
        // starts the next.
        if (*stop == cr && !eof() && m_buffer[m_begin] == lf) {
            ++m_begin;
        }
        return true;
    }
}

bool StdHexFile::rewind() {
    if (m_file == nullptr) {
        return false;
    }
    m_begin = 0;
    m_end = 0;
    m_failed = false;
    // fseek also clears the end-of-file and error indicators.
    return std::fseek(m_file, 0, SEEK_SET) == 0;
}

} // namespace quill
