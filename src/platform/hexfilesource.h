// SPDX-License-Identifier: MIT
#pragma once
// The hex file as the download reads it: bytes, line by line, never decoded.
// A line ends at CR LF, at a lone CR or at a lone LF; the terminator is not
// part of the line.

#include <cstdint>
#include <string>

namespace quill {

class HexFileSource {
  public:
    virtual ~HexFileSource() = default;
    // Opens for reading from the first byte; closes any file open before. False on failure.
    virtual bool open(const std::string& path) = 0;
    // Harmless when nothing is open. False when the close itself failed.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // True when no byte is left to read (also when nothing is open).
    virtual bool eof() = 0;
    // Reads the next line into `line` (its buffer is reused). False at the end or on a read error.
    virtual bool readLine(std::string& line) = 0;
    // A read failed since the file was opened or rewound; eof() is then true as well.
    virtual bool failed() const = 0;
    // Length of the open file in bytes.
    virtual int64_t length() const = 0;
    // Back to the first byte of the open file. False on failure.
    virtual bool rewind() = 0;
};

} // namespace quill
