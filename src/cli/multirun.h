// SPDX-License-Identifier: MIT
#pragma once
// A run of quill-cli on several ports: the same file to every device at
// once. The file is checked once and the Manual prompt asked once, on this
// thread, before any port is touched; then each device runs on a thread of
// its own (see devicerun.h) and ends on its own. Everything the user sees
// is written from this thread: the devices' events arrive here queued.
// Each device is a row of the history, written from here: one writer for
// all, ended as each device ends.

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/clirecord.h"
#include "cli/console.h"
#include "cli/devicerun.h"
#include "cli/devicethread.h"
#include "cli/jsonresult.h"
#include "cli/multitable.h"
#include "platform/settingsstore.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace quill::cli {

class MultiRun {
  public:
    // `out` is where the devices' lines go (standard error), a terminal or not.
    MultiRun(const CliOptions& options, SettingsStore& store, Console& console, std::FILE* out,
             CliRecord& record);
    ~MultiRun();
    MultiRun(const MultiRun&) = delete;
    MultiRun& operator=(const MultiRun&) = delete;

    ExitCode exec();
    // SIGINT or SIGTERM: every device stops; nothing more goes to any port.
    void interrupt(int signal);
    int signal() const { return m_signal; }
    // How each device ended, in port order, once exec() has returned.
    std::vector<RunResult> deviceResults() const { return deviceResults(m_code); }

  private:
    ExitCode run();
    RunResult runResult(ExitCode code) const;
    RunResult deviceResult(size_t index, ExitCode code) const;
    std::vector<RunResult> deviceResults(ExitCode code) const;
    void record(size_t index, ExitCode code);
    void offerRetry();
    void say(const std::string& text);
    std::vector<std::string> applyOptions();
    bool makeTraceFiles();
    bool prompt();
    void startDevices();
    void onEvent(size_t index, const DeviceEvent& event);
    void onEnded(size_t index, ExitCode code, const DeviceEvent& last, bool openFailed);
    void update(size_t index, const DeviceEvent& event);
    void showMessage(size_t index, const std::string& text);
    void showQuarter(size_t index);
    void drawBlock();
    void eraseBlock();
    void put(const std::string& text);

    const CliOptions& m_options;
    SettingsStore& m_store;
    Console& m_console;
    CliRecord& m_record;
    std::FILE* m_out;
    bool m_terminal;
    CliMessageBoxes m_boxes;
    std::vector<DeviceSetup> m_setups;
    std::vector<DeviceStatus> m_status;
    std::vector<int> m_nextQuarter;
    std::vector<std::vector<std::string>> m_messages;  // each device's, for --json
    std::string m_outcomeName;                         // the run's, when not its exit code's
    std::vector<std::optional<CliRecord::Row>> m_rows; // each device's, once begun
    std::vector<bool> m_recorded;                      // each device's row ended
    bool m_attempted = false;                          // the command line was good
    ExitCode m_code = ExitCode::Failure;
    FileTotals m_totals;
    bool m_openFailed = false;
    size_t m_ended = 0;
    int m_blockLines = 0;
    bool m_dirty = false;
    int m_signal = 0;
    QObject m_main; // this thread's end of the devices' queued events
    QTimer m_redraw;
    QEventLoop m_loop;
    std::vector<std::unique_ptr<DeviceThread>> m_threads;
};

} // namespace quill::cli
