// SPDX-License-Identifier: MIT
#include "hexfile/recordsender.h"

#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/recordline.h"
#include "shared/downloadend.h"

#include <span>
#include <string_view>

namespace quill {

namespace {

using namespace recordline;

// Every record waits this long for the device's XOFF. Its expiry has no
// effect in cs_record_download: the device may take as long as it needs.
constexpr int recordTimeoutMs = 500;

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
            cancelDownload(c, text::FileChanged, DownloadEnd::FileChanged);
        } else {
            download_done(c);
        }
        return false;
    case Read::Failed:
        cancelDownload(c, text::ReadError, DownloadEnd::FileError);
        return false;
    }
    return false;
}

} // namespace

void cancelDownload(Context& c, const std::string& message, DownloadEnd end) {
    c.m.cstate = cs_file_done;
    reportEnd(c, end);
    c.boxes.MsgBox(message);
    end_download(c, false);
}

void download_done(Context& c) {
    c.m.cstate = cs_file_done;
    reportEnd(c, DownloadEnd::Complete);
    end_download(c, true);
}

PortStatus writeText(MSComm& port, std::string_view text) {
    return port.output(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

PortStatus send_record(Context& c, std::string& line, const CheckedFile& checked) {
    Module1& m = c.m;
    // A file written, truncated or replaced since the check reads as ended
    // at the next fill of the reader's buffer (see nextLine), and never gets
    // as far as its end record (below).
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
        rc = classify(c.file1, m.hex_table, line);
        // The check passed every record line, so a corrupt one means the file
        // has changed since: it cancels as a bad checksum does.
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX) {
            cancelDownload(c, text::InvalidRecord, DownloadEnd::BadRecord);
            return {};
        }
        c.form.setPrbValue(static_cast<float>(m.file_pos));
    } while (rc == REC_ALL_FF);

    // The end record goes out only if everything read up to it is what the
    // check read: never "Download complete" for another file.
    if (rc == REC_LAST && !asChecked(c, checked)) {
        cancelDownload(c, text::FileChanged, DownloadEnd::FileChanged);
        return {};
    }
    // Armed and in cs_record_download before the record goes out: the
    // device's answer must find the state it belongs to.
    c.Timer1.setInterval(recordTimeoutMs);
    c.Timer1.setEnabled(true);
    m.cstate = cs_record_download;
    line += "\r\n";
    if (PortStatus err = writeText(c.MSComm1, line)) {
        return err;
    }
    if (rc == REC_LAST) {
        download_done(c);
    }
    return {};
}

} // namespace quill
