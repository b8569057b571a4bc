// SPDX-License-Identifier: MIT
#pragma once
// One download run of quill-cli, on one port or several: the run (see
// runner/runner.h) with the view that fits the number of ports, then what
// follows its end: where the ports might be after one that could not be
// opened, and, on several ports, the command that downloads again to
// exactly the ports that failed.

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/console.h"
#include "cli/consoleview.h"
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
    // rounds of --repeat, whose next round is the retry).
    CliRun(const CliOptions& options, const SettingsStore& store, Console& console,
           RecordKeeper& keeper, std::FILE* out, bool offerRetry);
    ~CliRun();
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    const RunReport& exec();
    // SIGINT or SIGTERM: every device stops; nothing more goes to any port.
    void interrupt(int signal) { m_runner.interrupt(signal); }
    // The result for --json, once exec() has returned.
    std::string json() const;

  private:
    void retry(const RunReport& run);

    const CliOptions& m_options;
    Console& m_console;
    RecordKeeper& m_keeper;
    std::FILE* m_out;
    bool m_offerRetry;
    CliMessageBoxes m_boxes;
    std::unique_ptr<ConsoleView> m_view;
    Runner m_runner;
};

} // namespace quill::cli
