// SPDX-License-Identifier: MIT
#include "hexfile/filecheck.h"

#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/recordline.h"

#include <algorithm>
#include <cstdio>
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

// A record after blanks or tabs: the line does not start with ":", so the
// sending would skip it as a note, and leave a hole in the flash.
bool indentedRecord(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t");
    return first != 0 && first != std::string_view::npos && line[first] == ':';
}

// What is wrong with a record line that check_record calls corrupt.
std::string whatIsWrong(const HexTable& table, std::string_view line, bool tooLong) {
    if (tooLong) {
        return text::DetailTooLong;
    }
    if (check_record(table, line) == REC_BAD_HEX) {
        return text::DetailNotHex;
    }
    // A checksum failure: the sum stored, and the sum the record's bytes call for.
    const int16_t count = hex_byte(table, line.substr(1));
    const size_t checksumAt = 9 + 2 * static_cast<size_t>(count);
    if (count < 0 || line.size() < checksumAt + 2) {
        return text::DetailCutShort;
    }
    unsigned sum = 0;
    for (size_t at = 1; at < checksumAt; at += 2) {
        sum += static_cast<unsigned>(hex_byte(table, line.substr(at)));
    }
    char detail[96];
    std::snprintf(detail, sizeof detail, text::DetailChecksum,
                  static_cast<unsigned>(hex_byte(table, line.substr(checksumAt))),
                  (0x100 - (sum & 0xFF)) & 0xFF);
    return detail;
}

FileCheck refused(DownloadEnd end, const char* message, int64_t lineNumber = 0,
                  std::string what = {}) {
    FileCheck check{.verdict = FileVerdict::Refused, .end = end, .message = message};
    if (lineNumber > 0) {
        check.lineNumber = lineNumber;
        check.detail = text::DetailLinePrefix + std::to_string(lineNumber) + what;
    }
    return check;
}

} // namespace

namespace {

// A refused file is read on to its end all the same, so that the record of
// the attempt names the bytes that were refused.
FileCheck readToEnd(HexFileSource& file, std::string& line, FileCheck check) {
    while (readNext(file, line) == Read::Line) {
    }
    check.identity = file.identity();
    return check;
}

} // namespace

FileCheck checkHexFile(HexFileSource& file, const HexTable& table, std::string& line) {
    file.markChecked();
    int64_t lineNumber = 0;
    bool endRecord = false;
    bool recordsAfterEnd = false;
    bool anyRecord = false;
    CheckedFile checked;
    DownloadTotals totals;
    for (;;) {
        const Read r = readNext(file, line);
        if (r == Read::End) {
            break;
        }
        if (r == Read::Failed) {
            return refused(DownloadEnd::FileError, text::ReadError);
        }
        ++lineNumber;
        if (endRecord) {
            // Past the end record nothing is sent; a record there is worth a word.
            recordsAfterEnd = recordsAfterEnd || startsRecord(line) || indentedRecord(line);
            continue;
        }
        // Lines that are not records (blank lines, comments) are skipped, as
        // the sending skips them.
        if (!startsRecord(line)) {
            if (indentedRecord(line)) {
                return readToEnd(file, line,
                                 refused(DownloadEnd::BadRecord, text::InvalidRecord, lineNumber,
                                         text::DetailIndented));
            }
            continue;
        }
        anyRecord = true;
        const int16_t rc = classify(file, table, line);
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX) {
            const std::string what = whatIsWrong(table, line, file.lineTooLong());
            return readToEnd(
                file, line, refused(DownloadEnd::BadRecord, text::InvalidRecord, lineNumber, what));
        }
        if (gluedRecord(table, line)) {
            return readToEnd(file, line,
                             refused(DownloadEnd::BadRecord, text::InvalidRecord, lineNumber,
                                     text::DetailGlued));
        }
        if (rc == REC_SEND || rc == REC_LAST) {
            ++totals.records;
            totals.dataBytes += recordDataBytes(table, line);
        }
        if (rc == REC_LAST) {
            endRecord = true;
            checked = {file.linesDigest(), true};
        }
    }
    // A file that changes while it is checked reads as ended there; one
    // whose bytes are not those its run checked is another firmware.
    const FileIdentity identity = file.identity();
    const std::string heldTo = file.heldTo();
    if (file.changedSinceChecked() || (!heldTo.empty() && identity.sha256 != heldTo)) {
        return refused(DownloadEnd::FileChanged, text::FileChanged);
    }
    if (!anyRecord) {
        FileCheck none = refused(DownloadEnd::NoRecords, text::NoRecords);
        none.identity = identity;
        return none;
    }
    if (!endRecord) {
        checked = {file.linesDigest(), false};
    }
    if (!file.rewind()) {
        return refused(DownloadEnd::FileError, text::ReadError);
    }
    const FileVerdict verdict = !endRecord        ? FileVerdict::NoEndRecord
                                : recordsAfterEnd ? FileVerdict::RecordsAfterEnd
                                                  : FileVerdict::Whole;
    return {.verdict = verdict, .checked = checked, .identity = identity, .totals = totals};
}

std::string firmwareLine(const std::string& path, const FileIdentity& identity) {
    return path + ": " + std::to_string(identity.size) + " bytes, SHA-256 " + identity.sha256;
}

std::string refusalText(const FileCheck& check) {
    std::string text = check.message != nullptr ? check.message : "";
    if (!check.detail.empty()) {
        text += '\r' + check.detail;
    }
    return text;
}

} // namespace quill
