// SPDX-License-Identifier: MIT
#include "hexfile/recordsender.h"

#include "download/downloadend.h"
#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace quill {

namespace {

// Every record waits this long for the device's XOFF. Its expiry has no
// effect in cs_record_download: the device may take as long as it needs.
constexpr int recordTimeoutMs = 500;

bool startsRecord(const std::string& line) {
    return !line.empty() && line.front() == ':';
}

// A record line longer than any record can be is corrupt, whatever its fields say.
int16_t classify(const Context& c, const std::string& line) {
    return c.file1.lineTooLong() ? REC_BAD_SUM : check_record(c.m.hex_table, line);
}

// The end-of-download sequence; a cancelled download shows no "Download complete".
void end_download(Context& c, bool reportComplete) {
    c.m.cstate = cs_file_done;
    c.form.setPrbValue(c.form.prbMax());
    if (reportComplete) {
        c.boxes.MsgBox(text::DownloadComplete);
    }
    c.form.setLblMsgVisible(false);
    c.form.setPrbValue(0);
    c.form.setPrbVisible(false);
    c.file1.close();
    c.m.hex_file_open = false;
    c.form.setCmdStartEnabled(false);
    c.form.setPanelText(2, " ");
}

// Ends the download with `message`. The state is set first, so that nothing
// the device sends while the box is open can release another record.
void cancel_download(Context& c, const char* message, DownloadEnd end) {
    c.m.cstate = cs_file_done;
    report_end(c, end);
    c.boxes.MsgBox(message);
    end_download(c, false);
}

// The shortest record there is: ":00000001FF".
constexpr size_t shortestRecord = 11;

// Text from a ":" on that reads as a record (bad checksum included), not as
// a note that merely holds a colon.
bool reads_as_record(const HexTable& table, std::string_view text) {
    return text.size() >= shortestRecord && text.front() == ':' &&
           check_record(table, text) != REC_BAD_HEX;
}

// One line, one record: a second record glued after the checksum of the
// first (a line break lost) would go out inside the first one's line, where
// the device takes it for trailing text, so the file is refused instead.
// Text after the checksum that merely holds a colon is no record and stays.
bool glued_record(const HexTable& table, std::string_view line) {
    const int16_t count = hex_byte(table, line.substr(1));
    size_t from = std::min(line.size(), shortestRecord + 2 * static_cast<size_t>(count));
    while ((from = line.find(':', from)) != std::string_view::npos) {
        if (reads_as_record(table, line.substr(from))) {
            return true;
        }
        ++from;
    }
    return false;
}

enum class Read { Line, End, Failed };

Read readNext(HexFileSource& file, std::string& line) {
    if (file.eof()) {
        return file.failed() ? Read::Failed : Read::End;
    }
    return file.readLine(line) ? Read::Line : Read::Failed;
}

// The lines read so far are the lines checked, and the file is still the one checked.
bool asChecked(const Context& c, const CheckedFile& checked) {
    return !c.file1.changedSinceChecked() && c.file1.linesDigest() == checked.digest;
}

// Reads the next line for send_record; at the end of the file (or when it
// cannot be read) ends the download and returns false.
bool nextLine(Context& c, std::string& line, const CheckedFile& checked) {
    switch (readNext(c.file1, line)) {
    case Read::Line:
        return true;
    case Read::End:
        // The check found an end record before the end of the file: reaching
        // the end now means the file is no longer what was checked.
        if (checked.hasEndRecord || !asChecked(c, checked)) {
            cancel_download(c, text::FileChanged, DownloadEnd::FileChanged);
        } else {
            download_done(c);
        }
        return false;
    case Read::Failed:
        cancel_download(c, text::ReadError, DownloadEnd::FileError);
        return false;
    }
    return false;
}

} // namespace

void download_done(Context& c) {
    c.m.cstate = cs_file_done;
    report_end(c, DownloadEnd::Complete);
    end_download(c, true);
}

PortStatus write_text(MSComm& port, std::string_view text) {
    return port.output(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

PortStatus send_record(Context& c, std::string& line, const CheckedFile& checked) {
    Module1& m = c.m;
    // A few system calls per record: a file written, truncated or replaced
    // since the check stops the download before another record goes out.
    if (c.file1.changedSinceChecked()) {
        cancel_download(c, text::FileChanged, DownloadEnd::FileChanged);
        return {};
    }
    int16_t rc = REC_SEND;
    do {
        if (!nextLine(c, line, checked)) {
            return {};
        }
        m.file_pos += static_cast<int32_t>(line.size()) + 1;
        // Lines that are not records count in the progress but are never sent.
        while (!startsRecord(line)) {
            if (!nextLine(c, line, checked)) {
                return {};
            }
            m.file_pos += static_cast<int32_t>(line.size());
            c.form.setPrbValue(static_cast<float>(m.file_pos));
        }
        rc = classify(c, line);
        // The check passed every record line, so a corrupt one means the file
        // has changed since: it cancels as a bad checksum does.
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX) {
            cancel_download(c, text::InvalidRecord, DownloadEnd::BadRecord);
            return {};
        }
        c.form.setPrbValue(static_cast<float>(m.file_pos));
    } while (rc == REC_ALL_FF);

    // The end record goes out only if everything read up to it is what the
    // check read: never "Download complete" for another file.
    if (rc == REC_LAST && !asChecked(c, checked)) {
        cancel_download(c, text::FileChanged, DownloadEnd::FileChanged);
        return {};
    }
    // Armed and in cs_record_download before the record goes out: the
    // device's answer must find the state it belongs to.
    c.Timer1.setInterval(recordTimeoutMs);
    c.Timer1.setEnabled(true);
    m.cstate = cs_record_download;
    line += "\r\n";
    if (PortStatus err = write_text(c.MSComm1, line)) {
        return err;
    }
    if (rc == REC_LAST) {
        download_done(c);
    }
    return {};
}

FileVerdict check_hex_file(Context& c, std::string& line, CheckedFile& checked) {
    c.file1.markChecked();
    int records = 0;
    bool endRecord = false;
    while (!endRecord) {
        const Read r = readNext(c.file1, line);
        if (r == Read::End) {
            break;
        }
        if (r == Read::Failed) {
            cancel_download(c, text::ReadError, DownloadEnd::FileError);
            return FileVerdict::Refused;
        }
        // Lines that are not records (blank lines, comments) are skipped, as
        // the sending skips them.
        if (!startsRecord(line)) {
            continue;
        }
        ++records;
        const int16_t rc = classify(c, line);
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX || glued_record(c.m.hex_table, line)) {
            cancel_download(c, text::InvalidRecord, DownloadEnd::BadRecord);
            return FileVerdict::Refused;
        }
        endRecord = rc == REC_LAST;
    }
    if (records == 0) {
        cancel_download(c, text::NoRecords, DownloadEnd::NoRecords);
        return FileVerdict::Refused;
    }
    checked = {c.file1.linesDigest(), endRecord};
    if (!c.file1.rewind()) {
        cancel_download(c, text::ReadError, DownloadEnd::FileError);
        return FileVerdict::Refused;
    }
    return endRecord ? FileVerdict::Whole : FileVerdict::NoEndRecord;
}

} // namespace quill
