// SPDX-License-Identifier: MIT
#pragma once
// The hex file as the download reads it: bytes, line by line, never decoded.
// A line ends at CR LF, at a lone CR or at a lone LF; the terminator is not
// part of the line. Only a regular file opens: a FIFO, a device or a
// directory is refused without waiting. A line is kept up to maxLineBytes;
// the rest of a longer one is read past, never held.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill {

// The bytes of a file as one pass read them: their count and their SHA-256
// (64 lower-case hex digits; empty until the pass reached the end).
struct FileIdentity {
    int64_t size = 0;
    std::string sha256;
    bool known() const { return !sha256.empty(); }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What a download of the file sends: the record lines that go out and the
// firmware data bytes in them.
struct DownloadTotals {
    int64_t records = 0;
    int64_t dataBytes = 0;
    friend bool operator==(const DownloadTotals&, const DownloadTotals&) = default;
};

class HexFileSource {
  public:
    // The longest record is 521 characters; the rest is room for trailing text.
    static constexpr size_t maxLineBytes = 64 * 1024;

    virtual ~HexFileSource() = default;
    // Opens for reading from the first byte; closes any file open before. False on failure.
    virtual bool open(const std::string& path) = 0;
    // Harmless when nothing is open. False when the close itself failed.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // True when no byte is left to read (also when nothing is open).
    virtual bool eof() = 0;
    // Reads the next line into `line` (its buffer is reused). False at the
    // end, on a read error, or when the file changed in the middle of the line.
    virtual bool readLine(std::string& line) = 0;
    // The line read last was longer than maxLineBytes; `line` holds its beginning.
    virtual bool lineTooLong() const = 0;
    // A digest of the lines read since the file was opened or rewound: two
    // readings that read the same lines have the same digest.
    virtual uint64_t linesDigest() const = 0;
    // Remembers the open file as it is now (size, times, which file its path
    // names). From then on every fill of the read buffer first looks whether
    // the file has changed; a changed file reads as ended there.
    virtual void markChecked() = 0;
    // The open file was written, truncated or replaced since markChecked(),
    // or its path no longer names it. A few system calls, no reading.
    virtual bool changedSinceChecked() const = 0;
    // A read failed since the file was opened or rewound; eof() is then true as well.
    virtual bool failed() const = 0;
    // Length of the open file in bytes.
    virtual int64_t length() const = 0;
    // Back to the first byte of the open file. False on failure.
    virtual bool rewind() = 0;
    // The bytes read since the file was opened or rewound, byte-order mark
    // and line ends included; the digest once the end has been read.
    virtual FileIdentity identity() const = 0;
    // The SHA-256 the file was checked with before this reading (by the
    // run that owns it): a file whose bytes now have another is no longer
    // that firmware. Empty: any.
    virtual std::string heldTo() const { return {}; }
};

} // namespace quill
