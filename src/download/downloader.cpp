// SPDX-License-Identifier: MIT
#include "download/downloader.h"

#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/recordsender.h"
#include "shared/downloadend.h"
#include "shared/sharedtexts.h"

#include <vector>

namespace quill {

namespace {

// The erase request: a data record of one FF byte at 0000, with CR LF.
constexpr const char* eraseRequest = ":01000000FF00\r\n";
constexpr int eraseTimeoutMs = 500;

bool inTrackerHandshake(int16_t cstate) {
    return cstate == cs_tracker_select || cstate == cs_tracker_prog || cstate == cs_tracker_reboot;
}

} // namespace

Downloader::Downloader(Context context) : m_c(context) {
    m_c.MSComm1.setEventSink(this);
    m_c.frmWaitCom.setEventSink(this);
    m_c.Timer1.setHandler([this] { Timer1_Timer(); });
}

Downloader::~Downloader() {
    m_c.MSComm1.setEventSink(nullptr);
    m_c.frmWaitCom.setEventSink(nullptr);
    m_c.Timer1.setHandler({});
}

void Downloader::cmdStart_Click() {
    Module1& m = m_c.m;
    // A download still running ends here, at once: the new one starts from
    // the beginning, and the old one sends nothing more whatever happens next.
    const uint32_t download = beginDownload(m_c);
    if (m.hex_file_open) {
        // Read again from the first line, whatever an earlier download left.
        m_c.file1.close();
    } else if (m.hex_file_name.empty()) {
        reportEnd(m_c, DownloadEnd::FileError);
        m_c.boxes.MsgBox(text::FileMustBeSelected);
        return;
    }
    open_hex_file(m, m_c.file1, m_c.boxes, m.hex_file_name);
    if (!m.hex_file_open) {
        reportEnd(m_c, DownloadEnd::FileError); // "Open file error" has been shown
        return;
    }
    com_start(download);
}

bool Downloader::goesOn(uint32_t download) {
    if (!stillRunning(m_c, download)) {
        return false;
    }
    if (m_portFailed || !m_c.MSComm1.portOpen()) {
        m_c.m.cstate = cs_off;
        reportEnd(m_c, DownloadEnd::PortFailure);
        return false;
    }
    return true;
}

void Downloader::com_start(uint32_t download) {
    Module1& m = m_c.m;
    MSComm& port = m_c.MSComm1;
    m_portFailed = false;
    m_trackerFailed = false;

    // XON and XOFF must arrive as data: no flow control by the driver.
    port.setHandshaking(comNone);
    port.setRThreshold(1);
    port.setSThreshold(0);
    port.setParityReplace("False");
    port.setInputMode(comInputModeBinary);
    m.cstate = cs_off;

    if (!port.portOpen()) {
        if (PortStatus err = port.setPortOpen(true)) {
            reportEnd(m_c, DownloadEnd::PortFailure);
            m_c.boxes.MsgBox(std::string(text::PortOpenFailed) + '\r' + err->text);
            return;
        }
    }
    if (!m.hex_file_open) {
        open_hex_file(m, m_c.file1, m_c.boxes, m.hex_file_name);
        if (!m.hex_file_open) {
            reportEnd(m_c, DownloadEnd::FileError);
            return;
        }
    }
    // What is not whole firmware is refused before the device is touched.
    const FileCheck check = checkHexFile(m_c.file1, m.hex_table, m_line);
    m_checked = check.checked;
    if (m_c.observer != nullptr) {
        m_c.observer->fileChecked(check.identity, check.totals);
        // Its owner may have ended the download there, before the device
        // hears a byte (a unit's number that cannot go into the image).
        if (!stillRunning(m_c, download)) {
            return;
        }
    }
    switch (check.verdict) {
    case FileVerdict::Refused:
        cancelDownload(m_c, refusalText(check), check.end);
        return;
    case FileVerdict::NoEndRecord:
        if (!acceptRisk(download, text::NoEndRecord, DownloadEnd::NoEndRecord)) {
            return;
        }
        break;
    case FileVerdict::RecordsAfterEnd:
        if (!acceptRisk(download, text::RecordsAfterEnd, DownloadEnd::RecordsAfterEnd)) {
            return;
        }
        break;
    case FileVerdict::Whole:
        break;
    }

    switch (m.device_type) {
    case device_manual: {
        std::string prompt = text::PrepareDevice + std::to_string(m.baud_rate) + '\r';
        if (m_c.boxes.MsgBox(prompt, MsgButtons::OkCancel) != MsgResult::Ok) {
            if (stillRunning(m_c, download)) {
                m.cstate = cs_off;
                reportEnd(m_c, DownloadEnd::Cancelled);
            }
            return;
        }
        break;
    }
    default:
        break;
    }
    // The download may have been stopped, or the port lost or failed, while
    // a box was open.
    if (!goesOn(download) || !mayBegin(download)) {
        return;
    }
    if (m.device_type == device_tracker) {
        TrackerProgEnable();
        // ... or while the wait dialog was open.
        if (!goesOn(download)) {
            return;
        }
    }

    m_c.Timer1.setInterval(eraseTimeoutMs);
    m_c.Timer1.setEnabled(true);
    m.cstate = cs_flash_erase;
    // The device's answer is what comes after the request: whatever it sent
    // before (an XOFF XON left over from its own start) is no answer.
    port.setInBufferCount(0);
    if (PortStatus err = writeText(port, eraseRequest)) {
        stop_on_port_error(*err);
        return;
    }
    m_c.form.setLblMsgVisible(true);
    m_c.form.setLblMsgCaption(text::ErasingFlash);
    m.file_len = static_cast<int32_t>(m_c.file1.length());
    m.file_pos = 0;
    m_c.form.setPrbVisible(true);
    m_c.form.setPrbMin(0);
    m_c.form.setPrbMax(static_cast<float>(m.file_len));
}

// The device hears its first byte next (the erase request, or the
// Tracker's first frame): its owner may still end the download here, and
// then the device hears nothing.
bool Downloader::mayBegin(uint32_t download) {
    if (m_c.observer == nullptr) {
        return true;
    }
    m_c.observer->beforeFirstByte();
    return stillRunning(m_c, download);
}

// A file that may not be what the user meant: the question's default is
// Cancel, and the download goes on only after an OK.
bool Downloader::acceptRisk(uint32_t download, const char* question, DownloadEnd refusedAs) {
    if (m_c.boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None, MsgResult::Cancel) !=
        MsgResult::Ok) {
        if (stillRunning(m_c, download)) {
            m_c.m.cstate = cs_off;
            reportEnd(m_c, refusedAs);
        }
        return false;
    }
    return goesOn(download);
}

void Downloader::stopDownload(DownloadEnd end) {
    quill::stopDownload(m_c, end);
}

void Downloader::Timer1_Timer() {
    m_c.Timer1.setEnabled(false);
    switch (m_c.m.cstate) {
    case cs_flash_erase:
        // Stopped before the box opens: an answer that comes late, while the
        // user reads the message, must not start the programming. After a
        // failed handshake the device is most likely not in its download
        // mode: the handshake is the cause.
        m_c.m.cstate = cs_off;
        reportEnd(m_c,
                  m_trackerFailed ? DownloadEnd::TrackerHandshake : DownloadEnd::NoEraseAnswer);
        m_c.boxes.MsgBox(text::NoEraseResponse, MsgButtons::Ok, MsgIcon::Exclamation);
        break;
    case cs_tracker_select:
        tracker_fail(text::TrackerNoSelectAnswer, false);
        break;
    case cs_tracker_prog:
        tracker_fail(text::TrackerNoProgramAnswer, false);
        break;
    case cs_tracker_reboot:
        tracker_fail(text::TrackerNoRebootAnswer, false);
        break;
    default:
        break;
    }
}

void Downloader::MSComm1_OnComm() {
    if (m_c.MSComm1.commEvent() != comEvReceive) {
        return;
    }
    std::vector<uint8_t> bytes = m_c.MSComm1.input();
    // A receive event carries at most what fits the receive buffer; the
    // count is kept in range all the same.
    size_t done = 0;
    while (done < bytes.size()) {
        size_t chunk = std::min<size_t>(bytes.size() - done, INT16_MAX);
        process_rx(bytes.data() + done, static_cast<int16_t>(chunk));
        done += chunk;
    }
}

void Downloader::process_rx(const uint8_t* bytes, int16_t count) {
    Module1& m = m_c.m;
    for (int16_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (m.cstate) {
        case cs_flash_erase:
            if (b == XOFF) {
                m_c.Timer1.setEnabled(false);
                m.cstate = cs_program_ready;
            }
            break;
        case cs_program_ready:
            if (b == XON) {
                // Set first: what the device sends while the owner draws the
                // unit's number releases nothing.
                m.cstate = cs_programming;
                if (m_c.observer != nullptr) {
                    m_c.observer->deviceAnswered();
                    if (m.cstate != cs_programming) {
                        return; // ended by its owner: nothing is sent
                    }
                }
                m_c.form.setLblMsgCaption(text::ProgrammingFlash);
                send_record();
            }
            break;
        case cs_record_download:
            if (b == XOFF) {
                m_c.Timer1.setEnabled(false);
                m.cstate = cs_after_xoff;
            } else if (b == XON) {
                m_c.Timer1.setEnabled(false);
            }
            break;
        case cs_after_xoff:
            // Whatever follows the XOFF releases the next record.
            m_c.Timer1.setEnabled(false);
            send_record();
            break;
        case cs_tracker_select:
        case cs_tracker_prog:
        case cs_tracker_reboot:
            // The Tracker's answer is the last byte of the batch.
            judge_tracker_answer(bytes[count - 1]);
            return;
        default:
            break;
        }
    }
}

void Downloader::send_record() {
    if (PortStatus err = quill::send_record(m_c, m_line, m_checked)) {
        stop_on_port_error(*err);
    }
}

void Downloader::onPortLost(const PortError& error) {
    Module1& m = m_c.m;
    const bool running = m.cstate != cs_off && m.cstate != cs_file_done;
    const bool handshaking = inTrackerHandshake(m.cstate);
    m_portFailed = true;
    m_c.Timer1.setEnabled(false);
    m.cstate = cs_off;
    reportEnd(m_c, DownloadEnd::PortFailure);
    // Like any port that COM Setup's OK left closed.
    m_c.form.setPanelText(1, text::ComNotSet);
    if (handshaking) {
        m.TrackerACK = false;
        m_c.frmWaitCom.close();
    }
    std::string message = error.text;
    if (running) {
        message += '\r';
        message += text::DownloadStopped;
    }
    m_c.boxes.MsgBox(message, MsgButtons::Ok, MsgIcon::Exclamation);
}

void Downloader::stop_on_port_error(const PortError& error) {
    m_portFailed = true;
    m_c.Timer1.setEnabled(false);
    m_c.m.cstate = cs_off;
    reportEnd(m_c, DownloadEnd::PortFailure);
    m_c.boxes.MsgBox(error.text + '\r' + text::DownloadStopped, MsgButtons::Ok,
                     MsgIcon::Exclamation);
}

} // namespace quill
