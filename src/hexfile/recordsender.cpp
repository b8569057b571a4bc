// SPDX-License-Identifier: MIT
#include "hexfile/recordsender.h"

#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"

#include <span>

namespace quill {

namespace {

// Every record waits this long for the device's XOFF. Its expiry has no
// effect in cs_record_download: the device may take as long as it needs.
constexpr int recordTimeoutMs = 500;

bool startsRecord(const std::string& line) {
    return !line.empty() && line.front() == ':';
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
void cancel_download(Context& c, const char* message) {
    c.m.cstate = cs_file_done;
    c.boxes.MsgBox(message);
    end_download(c, false);
}

enum class Read { Line, End, Failed };

Read readNext(HexFileSource& file, std::string& line) {
    if (file.eof()) {
        return file.failed() ? Read::Failed : Read::End;
    }
    return file.readLine(line) ? Read::Line : Read::Failed;
}

// Reads the next line for send_record; at the end of the file (or when it
// cannot be read) ends the download and returns false.
bool nextLine(Context& c, std::string& line) {
    switch (readNext(c.file1, line)) {
    case Read::Line:
        return true;
    case Read::End:
        download_done(c);
        return false;
    case Read::Failed:
        cancel_download(c, text::ReadError);
        return false;
    }
    return false;
}

} // namespace

void download_done(Context& c) {
    end_download(c, true);
}

PortStatus write_text(MSComm& port, std::string_view text) {
    return port.output(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

PortStatus send_record(Context& c, std::string& line) {
    Module1& m = c.m;
    int16_t rc = REC_SEND;
    do {
        if (!nextLine(c, line)) {
            return {};
        }
        m.file_pos += static_cast<int32_t>(line.size()) + 1;
        // Lines that are not records count in the progress but are never sent.
        while (!startsRecord(line)) {
            if (!nextLine(c, line)) {
                return {};
            }
            m.file_pos += static_cast<int32_t>(line.size());
            c.form.setPrbValue(static_cast<float>(m.file_pos));
        }
        rc = check_record(m.hex_table, line);
        if (rc == REC_BAD_SUM) {
            cancel_download(c, text::InvalidRecord);
            return {};
        }
        if (rc != REC_BAD_HEX) {
            c.form.setPrbValue(static_cast<float>(m.file_pos));
        }
    } while (rc == REC_BAD_HEX || rc == REC_ALL_FF);

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

bool check_hex_file(Context& c, std::string& line) {
    for (;;) {
        Read r = readNext(c.file1, line);
        if (r == Read::End) {
            break;
        }
        if (r == Read::Failed) {
            cancel_download(c, text::ReadError);
            return false;
        }
        if (!startsRecord(line)) {
            continue;
        }
        int16_t rc = check_record(c.m.hex_table, line);
        if (rc == REC_BAD_SUM) {
            cancel_download(c, text::InvalidRecord);
            return false;
        }
        if (rc == REC_LAST) {
            break;
        }
    }
    if (!c.file1.rewind()) {
        cancel_download(c, text::ReadError);
        return false;
    }
    return true;
}

} // namespace quill
