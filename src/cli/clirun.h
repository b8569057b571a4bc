// SPDX-License-Identifier: MIT
#pragma once
// One download run of quill-cli, on one port or several: the run (see
// runner/runner.h) with the view that fits the number of ports, then what
// follows its end: where the ports might be after one that could not be
// opened, and, on several ports, the command that downloads again to
// exactly the ports that failed. With --events the run's view has the live
// events beside it (events/eventwriter.h), and so have the messages that
// only the boxes and the history show.

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/console.h"
#include "cli/consoleview.h"
#include "events/eventwriter.h"
#include "runner/recordkeeper.h"
#include "runner/runner.h"

#include <cstdio>
#include <memory>
#include <string>

namespace quill::cli {

class CliRun {
  public:
    // `out` is where the devices' lines go (standard error); `offerRetry`:
    // the retry command follows a run with failures (not between the
    // rounds of --repeat, whose next round is the retry). `events`: the
    // live events, if any.
    CliRun(const CliOptions& options, const SettingsStore& store, Console& console,
           RecordKeeper& keeper, std::FILE* out, bool offerRetry,
           events::EventWriter* events = nullptr);
    ~CliRun();
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    const RunReport& exec();
    // SIGINT or SIGTERM: every device stops; nothing more goes to any port.
    void interrupt(int signal) { m_runner.interrupt(signal); }
    // The result for --json, once exec() has returned.
    std::string json() const;
    // Whether the devices got going, once exec() has returned: false when
    // the run was refused before any device began.
    bool devicesStarted() const { return m_runner.devicesStarted(); }
    // The command offered after the run, once exec() has returned; empty: none.
    const std::string& retry() const { return m_retry; }

  private:
    std::string retryCommand(const RunReport& run) const;

    const CliOptions& m_options;
    Console& m_console;
    RecordKeeper& m_keeper;
    std::FILE* m_out;
    bool m_offerRetry;
    CliMessageBoxes m_boxes;
    std::unique_ptr<ConsoleView> m_view;
    events::EventWriter* m_events;
    std::unique_ptr<events::EventsView> m_eventsView; // m_view with the events beside it
    Runner m_runner;
    std::string m_retry;
};

} // namespace quill::cli
