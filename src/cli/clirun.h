// SPDX-License-Identifier: MIT
#pragma once
// One run of quill-cli: the download engine of the window program, on the
// same serial control and timer, with standard error in place of the
// window. The port is set up as the COM Setup dialog's OK does, then
// cmdStart_Click runs and everything after it is the download's own; the
// run ends when the download has told how it ended.
//
// The engine runs on a trace session's decorators of the port, the timer,
// the boxes and the wait dialog: the progress counts records and data bytes
// from its events, and --log and -v write them as text.

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/cliprogress.h"
#include "cli/cliwaitdialog.h"
#include "cli/console.h"
#include "cli/jsonresult.h"
#include "cli/watchedcomm.h"
#include "download/downloader.h"
#include "hexfile/stdhexfile.h"
#include "platform/qt/qtmscomm.h"
#include "platform/qt/qttimer.h"
#include "platform/settingsstore.h"
#include "run/outcome.h"
#include "shared/module1.h"
#include "trace/tracesession.h"
#include "trace/tracewriter.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill::cli {

class CliRun final : private CommWatcher, private DownloadObserver {
  public:
    // `store` holds the window program's settings: the defaults.
    CliRun(const CliOptions& options, SettingsStore& store, Console& console);
    ~CliRun() override = default;
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    // Runs the download to its end and says how it ended.
    ExitCode exec();
    // SIGINT or SIGTERM arrived: the download ends at once, "Download interrupted".
    void interrupt(int signal);
    // The signal that ended the run; 0 when none did.
    int signal() const { return m_signal; }
    // How the run ended, for --json; `status` is the process's exit status.
    RunResult result(int status) const;
    // The result of a command line that could not be read: `problems` as printed.
    static RunResult usageResult(const std::string& problems);

  private:
    std::vector<std::string> applyOptions();
    bool openLog();
    std::string candidatePorts() const;
    void stopTalking();
    bool openPort();
    void start();
    void finishSoon();
    void finish();
    void exitLoop();
    void restartIdle();
    void idleExpired();

    void deviceSpoke() override;
    void hostSent() override;
    void portLost(const PortError& error) override;
    void downloadEnded(DownloadEnd end) override;

    const CliOptions& m_options;
    SettingsStore& m_store;
    PortResolver m_resolver;
    Console& m_console;
    Module1 m_m;
    Outcome m_outcome;
    QtMSComm m_port;
    WatchedComm m_comm;
    QtTimer m_timer;
    CliMessageBoxes m_boxes;
    CliWaitDialog m_wait;
    StdHexFile m_file;
    CliProgress m_progress;
    // The trace's writers, ended after the session that feeds them.
    std::unique_ptr<TraceFile> m_logFile;
    std::unique_ptr<TraceWriter> m_logWriter;
    std::unique_ptr<TraceWriter> m_verboseWriter;
    TraceSession m_trace;
    Downloader m_downloader;
    QTimer m_idle;
    QTimer m_lastAnswer;
    QEventLoop m_loop;
    bool m_finishing = false;
    bool m_heardSinceSent = false; // the device has spoken since the last message went out
    ExitCode m_exitCode = ExitCode::Failure;
    int m_signal = 0;
};

} // namespace quill::cli
