// SPDX-License-Identifier: MIT
// The Tracker handshake: select frame, program frame, then the wait for the
// rebooted device. Each wait runs inside the modal wait dialog, which the
// receive processing and the timer close or turn into an error report.

#include "download/downloader.h"
#include "download/downloadtexts.h"
#include "download/tracker.h"

#include <vector>

namespace quill {

namespace {

constexpr int frameTimeoutMs = 500;
constexpr int rebootTimeoutMs = 10000;

} // namespace

void Downloader::TrackerProgEnable() {
    Module1& m = m_c.m;

    // Step 1: select.
    m.cstate = cs_tracker_select;
    m_c.frmWaitCom.load();
    m_c.frmWaitCom.setAcknowledging(false);
    m_c.Timer1.setInterval(frameTimeoutMs);
    m_c.Timer1.setEnabled(true);
    m.TrackerACK = false;
    // The select frame is the download's first message: the device's answer
    // is what comes after it.
    m_c.MSComm1.setInBufferCount(0);
    if (!send_frame_and_wait(tracker_cmd_select, 0)) {
        return;
    }

    // Step 2: program. The dialog is loaded afresh and so starts out
    // acknowledging: an OK pressed during this wait ends the handshake.
    m.cstate = cs_tracker_prog;
    m_c.Timer1.setEnabled(false);
    m_c.Timer1.setInterval(frameTimeoutMs);
    m.tracker_data[0] = tracker_program_data;
    m.TrackerACK = false;
    m_c.Timer1.setEnabled(true);
    if (!send_frame_and_wait(tracker_cmd_program, 1)) {
        return;
    }

    // Step 3: the Tracker restarts and talks at mark parity from now on.
    m_c.Timer1.setEnabled(false);
    if (PortStatus err = set_mark_parity(m, m_c.MSComm1)) {
        return stop_on_port_error(*err);
    }
    m_c.Timer1.setInterval(rebootTimeoutMs);
    m.cstate = cs_tracker_reboot;
    m_c.Timer1.setEnabled(true);
    m_c.frmWaitCom.setAcknowledging(false);
    m_c.frmWaitCom.showModal();
}

// Writes one command frame, then waits in the dialog for the Tracker's
// answer. False when the handshake ends here (no answer, or the port failed).
bool Downloader::send_frame_and_wait(uint8_t command, uint8_t dataLength) {
    Module1& m = m_c.m;
    std::vector<uint8_t> frame;
    build_packet(frame, tracker_header_a, tracker_header_b, command, dataLength,
                 m.tracker_data.data());
    if (PortStatus err = m_c.MSComm1.output(frame)) {
        stop_on_port_error(*err);
        return false;
    }
    m_c.frmWaitCom.showModal();
    if (!m.TrackerACK) {
        m.cstate = cs_off;
        return false;
    }
    return true;
}

void Downloader::judge_tracker_answer(uint8_t last) {
    Module1& m = m_c.m;
    m_c.Timer1.setEnabled(false);
    if (m.cstate == cs_tracker_reboot) {
        if (last == XON) {
            m_c.frmWaitCom.close();
            m.TrackerACK = true;
        } else {
            tracker_fail(last == NAK ? text::TrackerNakReboot : text::TrackerRebootUnknown, true);
        }
        return;
    }
    if (last == ACK) {
        m_c.frmWaitCom.close();
        m.TrackerACK = true;
    } else {
        tracker_fail(last == NAK ? text::TrackerResponseError : text::TrackerResponseUnknown, true);
    }
}

// The wait dialog turns into an error report that the user acknowledges.
void Downloader::tracker_fail(const char* message, bool answered) {
    m_trackerFailed = true;
    m_c.Timer1.setEnabled(false);
    m_c.frmWaitCom.setAcknowledging(true);
    m_c.frmWaitCom.setMessage(message);
    m_c.m.cstate = cs_off;
    m_c.m.TrackerACK = answered;
}

void Downloader::frmWaitCom_cmdOK_Click() {
    m_c.frmWaitCom.close();
    m_c.m.cstate = cs_off;
}

} // namespace quill
