// SPDX-License-Identifier: MIT
#include "hexfile/filecheck.h"

#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/recordline.h"

#include <algorithm>
#include <string_view>

namespace quill {

namespace {

using namespace recordline;

// The shortest record there is: ":00000001FF".
constexpr size_t shortestRecord = 11;

// Text from a ":" on that reads as a record (bad checksum included), not as
// a note that merely holds a colon.
bool readsAsRecord(const HexTable& table, std::string_view text) {
    return text.size() >= shortestRecord && text.front() == ':' &&
           check_record(table, text) != REC_BAD_HEX;
}

// One line, one record: a second record glued after the checksum of the
// first (a line break lost) would go out inside the first one's line, where
// the device takes it for trailing text, so the file is refused instead.
// Text after the checksum that merely holds a colon is no record and stays.
bool gluedRecord(const HexTable& table, std::string_view line) {
    const int16_t count = hex_byte(table, line.substr(1));
    size_t from = std::min(line.size(), shortestRecord + 2 * static_cast<size_t>(count));
    while ((from = line.find(':', from)) != std::string_view::npos) {
        if (readsAsRecord(table, line.substr(from))) {
            return true;
        }
        ++from;
    }
    return false;
}

FileCheck refused(DownloadEnd end, const char* message) {
    return {.verdict = FileVerdict::Refused, .end = end, .message = message, .checked = {}};
}

} // namespace

FileCheck checkHexFile(HexFileSource& file, const HexTable& table, std::string& line) {
    file.markChecked();
    int records = 0;
    bool endRecord = false;
    while (!endRecord) {
        const Read r = readNext(file, line);
        if (r == Read::End) {
            break;
        }
        if (r == Read::Failed) {
            return refused(DownloadEnd::FileError, text::ReadError);
        }
        // Lines that are not records (blank lines, comments) are skipped, as
        // the sending skips them.
        if (!startsRecord(line)) {
            continue;
        }
        ++records;
        const int16_t rc = classify(file, table, line);
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX || gluedRecord(table, line)) {
            return refused(DownloadEnd::BadRecord, text::InvalidRecord);
        }
        endRecord = rc == REC_LAST;
    }
    // A file that changes while it is checked reads as ended there.
    if (!endRecord && file.changedSinceChecked()) {
        return refused(DownloadEnd::FileChanged, text::FileChanged);
    }
    if (records == 0) {
        return refused(DownloadEnd::NoRecords, text::NoRecords);
    }
    const CheckedFile checked{file.linesDigest(), endRecord};
    if (!file.rewind()) {
        return refused(DownloadEnd::FileError, text::ReadError);
    }
    return {.verdict = endRecord ? FileVerdict::Whole : FileVerdict::NoEndRecord,
            .checked = checked};
}

} // namespace quill
