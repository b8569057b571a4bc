// SPDX-License-Identifier: MIT
#pragma once
// The check of the whole hex file before anything is sent: what is not
// whole firmware is refused before the device is touched. The verdict is a
// value; telling the user is the caller's.

#include "platform/downloadobserver.h"
#include "platform/hexfilesource.h"
#include "shared/hextable.h"

#include <cstdint>
#include <string>

namespace quill {

// What the check found, for the sending to hold the file to: the digest of
// the lines read up to the end record (or the end of the file) and whether
// there was an end record.
struct CheckedFile {
    uint64_t digest = 0;
    bool hasEndRecord = false;
};

enum class FileVerdict {
    Whole,           // records, all sound, up to an end record
    NoEndRecord,     // sound records, but the file ends without an end record
    RecordsAfterEnd, // whole up to its end record, but record lines follow it (two files
                     // joined): they will not be sent
    Refused,         // not whole firmware, or unreadable: nothing may be sent
};

struct FileCheck {
    FileVerdict verdict = FileVerdict::Refused;
    // Refused: how the download ends, the message that says why, and which
    // line it was (1 for the first; 0 when no line is to blame) with what
    // was wrong with it, to be shown on a line after the message.
    DownloadEnd end = DownloadEnd::FileError;
    const char* message = nullptr;
    int64_t lineNumber = 0;
    std::string detail{};
    // Otherwise: what the sending holds the file to.
    CheckedFile checked{};
    // The file's bytes as this pass read them (unknown when it could not
    // read to the end), and what a download of it sends.
    FileIdentity identity{};
    DownloadTotals totals{};
};

// Reads the whole open file once, to its end, and hashes every byte on the
// way: that pass is the file's identity. A file without a record line, a
// corrupt record line before the first end record (bad digits, bad
// checksum, cut short, overlong, a second record glued after the first, or
// a record that does not start its line), a file that cannot be read, and
// one whose bytes are not those it is held to are refused. Otherwise the
// file is left at its beginning, marked as checked, and what was read up
// to the first end record is what the sending will send. `line` is the
// caller's reusable buffer.
FileCheck checkHexFile(HexFileSource& file, const HexTable& table, std::string& line);

// How the firmware is named wherever it is shown: "PATH: N bytes, SHA-256 HEX".
std::string firmwareLine(const std::string& path, const FileIdentity& identity);

// What the user is told of a refused file: the message, then the line to
// blame on a line of its own.
std::string refusalText(const FileCheck& check);

} // namespace quill
