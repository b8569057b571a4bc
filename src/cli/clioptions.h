// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's command line. No Qt, no system calls: the settings store and
// the port are looked at later, by the run.

#include "cli/recipecommands.h"
#include "events/eventsink.h"
#include "history/yieldformat.h"
#include "run/runrequest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

// The download's own options are what a run is asked (run/runrequest.h);
// the rest is quill-cli's.
struct CliOptions : RunRequest {
    enum class Action { Download, Help, Version, ListPorts, CheckPort, History, Recipes };
    Action action = Action::Download;

    bool yes = false;                // answer the Manual prompt with OK
    const char* yesAnswer = nullptr; // how `yes` was given, as the prompt shows it; none: --yes
    bool quiet = false;              // -q
    bool json = false;               // --json
    std::string checkPort;           // --check-port PORT
    bool repeat = false;             // unit after unit
    std::optional<int64_t> maxUnits; // --repeat ends after this many complete units
    std::string serialValue;         // --history --serial VALUE
    std::optional<events::Target> events; // --events: where the live events go
    std::string eventsUser;               // --events-user: the broker's user

    // --history: which attempts, in which form.
    std::string since;
    std::string outcome;
    std::string sha256Prefix;
    bool csv = false;
    bool yield = false;             // --yield: the units' yield instead of the rows
    YieldBy yieldBy = YieldBy::Day; // --by: ... per day, batch or work order

    RecipeCommand recipes; // --recipe-publish, --recipes, --work-order-open, ...

    std::optional<std::string> port() const {
        return ports.empty() ? std::nullopt : std::optional<std::string>(ports.front());
    }
};

struct ParsedCommandLine {
    std::optional<CliOptions> options;
    std::string error; // every problem, one per line, when options is empty
    std::string help;  // the help text, always filled
    bool json = false; // --json was given on a command line with problems
};

// Arguments without the program's name, as bytes. "--name value" and
// "--name=value" are both accepted, short options too ("-p X", "-pX",
// "-yq"); "--" ends the options.
ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args);

// A command line that runs the download of `o` again, each word quoted for
// a POSIX shell where it must be. The history URL is written without its
// password; --log and --json are left out.
std::string commandLine(const CliOptions& o);

} // namespace quill::cli
