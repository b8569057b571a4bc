// SPDX-License-Identifier: MIT
#pragma once
// The hex file read from disk through its file descriptor: bytes, buffered,
// one line at a time, with no text decoding. A UTF-8 byte-order mark at the
// very start of the file is not part of its first line. Every byte read is
// hashed as it comes: the pass that reads the file to its end gives its
// identity, with no reading of its own. The same reader serves firmware
// held in memory (a recipe's, from the history's database): the lines, the
// digest and the identity are those of a file with these bytes.

#include "hexfile/sha256.h"
#include "platform/hexfilesource.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace quill {

class StdHexFile final : public HexFileSource {
  public:
    // Bytes read from the file per fill of the read buffer.
    static constexpr size_t bufferSize = 16 * 1024;

    StdHexFile();
    ~StdHexFile() override;
    StdHexFile(const StdHexFile&) = delete;
    StdHexFile& operator=(const StdHexFile&) = delete;

    bool open(const std::string& path) override;
    bool close() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool eof() override;
    bool readLine(std::string& line) override;
    bool lineTooLong() const override { return m_lineTooLong; }
    uint64_t linesDigest() const override { return m_digest; }
    void markChecked() override;
    bool changedSinceChecked() const override;
    bool failed() const override { return m_failed; }
    int64_t length() const override { return m_length; }
    bool rewind() override;
    FileIdentity identity() const override { return m_identity; }
    std::string heldTo() const override { return m_heldTo; }
    // The SHA-256 the run checked the file with; empty: any.
    void holdTo(std::string sha256) { m_heldTo = std::move(sha256); }
    // From now on open() reads these bytes, whatever path it is given (the
    // path only names them); they cannot change while they are read.
    void readFrom(std::shared_ptr<const std::vector<uint8_t>> bytes) {
        m_memory = std::move(bytes);
    }

  private:
    bool fill();
    void resetReading();

    size_t readSome(char* into, size_t size);

    int m_fd = -1;
    std::shared_ptr<const std::vector<uint8_t>> m_memory; // none: the file on disk
    size_t m_memoryAt = 0;                                // next byte of m_memory to read
    std::string m_path;
    int64_t m_length = 0;
    bool m_failed = false;
    bool m_lineTooLong = false;
    uint64_t m_digest = 0;
    bool m_atStart = true; // the next fill reads the file's first bytes
    struct stat m_checked {};
    bool m_watched = false; // marked checked: every fill looks for a change first
    bool m_changed = false; // a fill found the file changed
    Sha256 m_hash;
    FileIdentity m_identity; // of the bytes read since the open or the rewind
    std::string m_heldTo;
    std::vector<char> m_buffer;
    size_t m_begin = 0; // next unread byte in m_buffer
    size_t m_end = 0;   // one past the last valid byte
};

} // namespace quill
