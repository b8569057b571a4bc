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
    Whole,       // records, all sound, up to an end record
    NoEndRecord, // sound records, but the file ends without an end record
    Refused,     // not whole firmware, or unreadable: nothing may be sent
};

struct FileCheck {
    FileVerdict verdict = FileVerdict::Refused;
    // Refused: how the download ends, and the message that says why.
    DownloadEnd end = DownloadEnd::FileError;
    const char* message = nullptr;
    // Otherwise: what the sending holds the file to.
    CheckedFile checked{};
};

// Reads the whole open file once, up to its first end record. A file
// without a record line, a corrupt record line (bad digits, bad checksum,
// cut short, overlong, or a second record glued after the first) or a file
// that cannot be read is refused. Otherwise the file is left at its
// beginning, marked as checked. `line` is the caller's reusable buffer.
FileCheck checkHexFile(HexFileSource& file, const HexTable& table, std::string& line);

} // namespace quill
