// SPDX-License-Identifier: MIT
#pragma once
// The window's trace of its last download, kept so that a technician can
// send it to support: every Start writes it afresh. The serial control, the
// timer, the boxes and the wait dialog the window gets are this trace's
// decorators of the real ones. A trace that cannot be written is said once
// on standard error and never disturbs a download.

#include "trace/tracesession.h"
#include "trace/tracewriter.h"

#include <memory>
#include <string>

namespace quill {

class DownloadLog {
  public:
    // `path`: the trace file; empty keeps no trace.
    DownloadLog(Module1& m, MSComm& port, Timer& timer, MessageBoxes& boxes, WaitDialog& wait,
                std::string path, TraceClock clock = steadyClockUs);
    ~DownloadLog();
    DownloadLog(const DownloadLog&) = delete;
    DownloadLog& operator=(const DownloadLog&) = delete;

    TraceSession& session() { return m_session; }
    const std::string& path() const { return m_path; }

    // At "Start Download", before the download's handler: the file of the
    // last download is replaced by a new one.
    void noteStart();
    // The trace file being written; empty when none is.
    std::string keptPath() const { return m_file ? m_path : std::string(); }

    // last-download.log in this program's state folder (history/ownfolders.h):
    // $XDG_STATE_HOME/quill or ~/.local/state/quill on Unix, %APPDATA%\quill on
    // Windows; empty without one.
    static std::string defaultPath();

  private:
    void close();
    void complain(const std::string& reason);

    TraceSession m_session;
    std::string m_path;
    std::unique_ptr<TraceFile> m_file;
    std::unique_ptr<TraceWriter> m_writer;
    bool m_complained = false;
};

} // namespace quill
