// SPDX-License-Identifier: MIT
#pragma once
// quill-cli on one port: the download of the window program on the same
// engine, with standard error in place of the window. Port, baud rate and
// device come from the command line or the window program's settings; the
// run itself is a station's (station.h), shown on the console, with the
// trace written by --log and -v, and recorded in the history.

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/cliprogress.h"
#include "cli/clirecord.h"
#include "cli/cliwaitdialog.h"
#include "cli/console.h"
#include "cli/station.h"
#include "platform/settingsstore.h"
#include "trace/tracewriter.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill::cli {

class SingleRun final : private RunView {
  public:
    // `store` holds the window program's settings: the defaults.
    SingleRun(const CliOptions& options, SettingsStore& store, Console& console, CliRecord& record);
    ~SingleRun() override;
    SingleRun(const SingleRun&) = delete;
    SingleRun& operator=(const SingleRun&) = delete;

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
    void attachTraces();

    void runMessage(const std::string& text, bool error) override;
    void downloadEnded(DownloadEnd end) override;
    void runEnding(ExitCode code) override;
    void stopAsking() override;
    void runFinished(ExitCode) override {}

    const CliOptions& m_options;
    SettingsStore& m_store;
    Console& m_console;
    CliRecord& m_record;
    PortResolver m_resolver;
    RunSetup m_setup;
    CliMessageBoxes m_boxes;
    CliWaitDialog m_wait;
    CliProgress m_progress;
    std::unique_ptr<TraceFile> m_logFile;
    std::unique_ptr<Station> m_station;
    // The trace's writers, ended before the station whose session feeds them.
    std::unique_ptr<TraceWriter> m_logWriter;
    std::unique_ptr<TraceWriter> m_verboseWriter;
    std::optional<ExitCode> m_refused; // the run ended before its station began
    const char* m_refusedAs = nullptr; // ... so, when not the exit code's name
    int m_signal = 0;
};

} // namespace quill::cli
