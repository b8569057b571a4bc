// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --repeat: unit after unit on one port, or a row of units on
// several. Before each round it asks for the next device; the Enter that
// answers starts the round and answers the Manual prompt, and the end of
// the input (Ctrl+D) ends the loop. Each round is an ordinary run
// (clirun.h), each unit a row of the history, numbered in its batch. A
// line before each round says the round, the units so far and how they
// ended; a summary follows the last, and the exit status is the worst
// round's: the highest.

#include "cli/clioptions.h"
#include "cli/console.h"
#include "events/eventwriter.h"
#include "history/unityield.h"
#include "platform/settingsstore.h"
#include "runner/recordkeeper.h"
#include "shared/outcome.h"

#include <QEventLoop>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quill::cli {

class RepeatRun {
  public:
    // `events`: the live events, if any; each round's devices are its units.
    RepeatRun(const CliOptions& options, SettingsStore& store, Console& console,
              RecordKeeper& keeper, events::EventWriter* events = nullptr);
    RepeatRun(const RepeatRun&) = delete;
    RepeatRun& operator=(const RepeatRun&) = delete;

    // The exit status of the worst round, or of the signal that ended the loop.
    int exec();
    // SIGINT or SIGTERM: the round stops as a single run does, and no other follows.
    void interrupt(int signal);

    // "40 units: 39 complete, 1 no answer to the erase request"
    static std::string tally(const std::vector<std::pair<Outcome, int>>& outcomes);
    // The trace of round n: "flash.log" gives "flash-3.log", the folder "logs" "logs-3".
    static std::string roundPath(const std::string& path, int round);

  private:
    bool nextDevice();
    ExitCode round(int number);

    const CliOptions& m_options;
    SettingsStore& m_store;
    Console& m_console;
    RecordKeeper& m_keeper;
    events::EventWriter* m_events;
    std::string m_input; // read from standard input beyond the lines taken
    std::vector<std::pair<Outcome, int>> m_outcomes; // how many units ended how, complete first
    std::vector<UnitRow> m_units;                    // every device of every round, for the yield
    int m_complete = 0;
    int m_signal = 0;
    std::function<void(int)> m_stopRound; // while a round runs
    QEventLoop* m_waiting = nullptr;      // while the next device is awaited
};

} // namespace quill::cli
