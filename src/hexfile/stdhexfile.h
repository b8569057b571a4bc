// SPDX-License-Identifier: MIT
#pragma once
// The hex file read from disk with the C library: bytes, buffered, one line
// at a time, with no text decoding.

#include "platform/hexfilesource.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace quill {

class StdHexFile final : public HexFileSource {
  public:
    // Bytes read from the file per fill of the read buffer.
    static constexpr size_t bufferSize = 64 * 1024;

    StdHexFile();
    ~StdHexFile() override;
    StdHexFile(const StdHexFile&) = delete;
    StdHexFile& operator=(const StdHexFile&) = delete;

    bool open(const std::string& path) override;
    bool close() override;
    bool isOpen() const override { return m_file != nullptr; }
    bool eof() override;
    bool readLine(std::string& line) override;
    bool failed() const override { return m_failed; }
    int64_t length() const override { return m_length; }
    bool rewind() override;

  private:
    bool fill();

    std::FILE* m_file = nullptr;
    int64_t m_length = 0;
    bool m_failed = false;
    std::vector<char> m_buffer;
    size_t m_begin = 0; // next unread byte in m_buffer
    size_t m_end = 0;   // one past the last valid byte
};

} // namespace quill
