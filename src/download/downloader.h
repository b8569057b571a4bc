// SPDX-License-Identifier: MIT
#pragma once
// The download engine of the main window: the Start button, the start
// sequence, the supervision timer, the receive processing and the Tracker
// handshake. It moves cstate on the events of the serial port, the timer
// and the wait dialog, all delivered one at a time on the user-interface
// thread; modal boxes nest, so cstate is read anew after every call that
// may run other handlers.

#include "hexfile/recordsender.h"
#include "shared/context.h"

#include <cstdint>
#include <string>

namespace quill {

class Downloader final : public MSCommEvents, public WaitDialogEvents {
  public:
    // Registers itself with the serial control, the timer and the wait dialog.
    explicit Downloader(Context context);
    ~Downloader() override;
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    void cmdStart_Click();
    void Timer1_Timer();
    void MSComm1_OnComm() override;
    void onPortLost(const PortError& error) override;
    void frmWaitCom_cmdOK_Click() override;

    void process_rx(const uint8_t* bytes, int16_t count);

    // Ends the running download at once, with nothing more sent and no
    // message, and tells `end` (quill-cli's time limit, a signal).
    void stopDownload(DownloadEnd end);

    Context& context() { return m_c; }

  private:
    void com_start(uint32_t download);
    // After a call that may have run other handlers: the download goes on
    // only if it is still this one and the port has not failed.
    bool goesOn(uint32_t download);
    bool mayBegin(uint32_t download);
    bool acceptRisk(uint32_t download, const char* question, DownloadEnd refusedAs);
    void TrackerProgEnable();
    bool send_frame_and_wait(uint8_t command, uint8_t dataLength);
    void judge_tracker_answer(uint8_t last);
    void tracker_fail(const char* message, bool answered);
    void send_record();
    // A write or a set-up of the port failed: the download stops with a message.
    void stop_on_port_error(const PortError& error);

    Context m_c;
    std::string m_line; // the record line buffer, reused for every record
    CheckedFile m_checked;
    bool m_portFailed = false;
    bool m_trackerFailed = false; // the handshake of this download reported an error
};

} // namespace quill
