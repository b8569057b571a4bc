// SPDX-License-Identifier: MIT
#pragma once
// The application: one object that owns the world (the shared state, the
// serial control, the timer, the settings store, the hex file, the boxes,
// the windows and the download engine) and starts it as Main does. The
// window sees the serial control, the timer, the boxes and the wait dialog
// through the trace of the last download; every download is recorded in
// the history.

#include "app/downloadlog.h"
#include "app/downloadrecord.h"
#include "app/windowserial.h"
#include "download/downloader.h"
#include "hexfile/stdhexfile.h"
#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "qt/qttimer.h"
#include "qt/serialcontrol.h"
#include "shared/module1.h"
#include "ui/frmwaitcom.h"
#include "ui/mainform.h"
#include "ui/qtmessageboxes.h"

#include <QThreadPool>

#include <memory>
#include <string>

namespace quill {

class Application {
  public:
    // cmdline: the command-line arguments after the program's name, joined
    // by single blanks.
    Application(std::unique_ptr<SettingsStore> store, std::string cmdline);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Main: reads the settings, builds the hex-digit table, shows the main
    // window (its load step first) and then, on every start, the "COM
    // Setup" dialog, modal, owned by the main window. Returns when that
    // dialog has closed; the program then runs on events.
    void Main();
    // quill --station: the station window alone, no main window and no COM
    // Setup; `given` is what the command line chose.
    void Station(const RunRequest& given);

    static std::string commandLine(const QStringList& arguments);
    // At the program's end: the history takes what it can within a few
    // seconds. False when the program should end without waiting for it.
    bool finish() { return m_record.finish(); }
    // The tooltip of the file's panel: "PATH: N bytes, SHA-256 HEX" from a
    // check of the whole file, or why it cannot be read.
    static std::string fileTip(const std::string& path);

    Module1& module1() { return m_m; }
    MainForm& mainForm() { return m_mainForm; }
    frmWaitCom& waitDialog() { return m_wait; }
    const DownloadLog& downloadLog() const { return m_log; }
    DownloadRecord& downloadRecord() { return m_record; }

  private:
    Module1 m_m;
    std::unique_ptr<SettingsStore> m_store; // before the port, whose names it holds
    SerialControl m_port;
    QtTimer m_timer;
    StdHexFile m_file;
    QtMessageBoxes m_boxes;
    frmWaitCom m_wait;
    DownloadLog m_log; // wraps the four above for the window
    DownloadRecord m_record;
    PatchedHexFile m_patched{m_file}; // the file with each unit's number, when one is chosen
    WindowSerial m_serial;
    MainForm m_mainForm;
    Downloader m_downloader; // it unregisters from the controls above first
    // Reads files for the window, off its thread; its tasks end before the
    // window goes.
    QThreadPool m_readers;
    Inbox* m_tips = new Inbox(&m_mainForm); // ... and what they found, back on it
};

} // namespace quill
