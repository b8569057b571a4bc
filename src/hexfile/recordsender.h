// SPDX-License-Identifier: MIT
#pragma once
// Sending the hex file to the device one record line at a time, the end of
// a download, and the check of the whole file before anything is sent.

#include "download/context.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// What the check before the download found, for the sending to hold the
// file to: the digest of the lines read up to the end record (or the end of
// the file) and whether there was an end record.
struct CheckedFile {
    uint64_t digest = 0;
    bool hasEndRecord = false;
};

enum class FileVerdict {
    Whole,       // records, all sound, up to an end record
    NoEndRecord, // sound records, but the file ends without an end record
    Refused,     // the download has ended here, with its message
};

// Sends the next record line that is to be sent, or ends the download. A
// file that no longer is the one checked ends it too. `line` is the
// caller's reusable buffer. A failed write is returned, not reported.
PortStatus send_record(Context& c, std::string& line, const CheckedFile& checked);

// Writes a text to the port as bytes, in one write.
PortStatus write_text(MSComm& port, std::string_view text);

// The end of a download: "Download complete", the file closed, the window idle.
void download_done(Context& c);

// Reads the whole open file once, up to its first end record, before
// anything is sent. A file without a record line, a corrupt record line (bad
// digits, bad checksum, cut short or overlong) or a file that cannot be read
// ends the download here, with its message. Otherwise leaves the file at its
// beginning, marked as checked, and fills `checked`.
FileVerdict check_hex_file(Context& c, std::string& line, CheckedFile& checked);

} // namespace quill
