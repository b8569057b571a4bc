// SPDX-License-Identifier: MIT
#pragma once
// Reading record lines, as the whole-file check and the sending both do it:
// which lines are records, and what a record line is.

#include "hexfile/hexcodec.h"
#include "platform/hexfilesource.h"

#include <string>

namespace quill::recordline {

// A record line starts with ":" in its first column; any other line (blank,
// a comment) is not a record.
inline bool startsRecord(const std::string& line) {
    return !line.empty() && line.front() == ':';
}

// The line just read, classified. A record line longer than any record can
// be is corrupt, whatever its fields say.
inline int16_t classify(const HexFileSource& file, const HexTable& table, const std::string& line) {
    return file.lineTooLong() ? REC_BAD_SUM : check_record(table, line);
}

enum class Read { Line, End, Failed };

inline Read readNext(HexFileSource& file, std::string& line) {
    if (file.eof()) {
        return file.failed() ? Read::Failed : Read::End;
    }
    if (file.readLine(line)) {
        return Read::Line;
    }
    return file.failed() ? Read::Failed : Read::End;
}

} // namespace quill::recordline
