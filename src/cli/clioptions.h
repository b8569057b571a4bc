// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's command line. No Qt, no system calls: the settings store and
// the port are looked at later, by the run.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

inline constexpr int defaultIdleTimeoutSeconds = 60;
inline constexpr int maxIdleTimeoutSeconds = 86400;
inline constexpr int defaultSettleMs = 250;
inline constexpr int maxSettleMs = 60'000;

// Files that may not be what the user meant, downloaded only when the
// command line says so: the questions the download would ask are answered OK.
struct Risks {
    bool noEndRecord = false;     // --allow-no-end-record
    bool recordsAfterEnd = false; // --allow-records-after-end

    // The option that accepts what `question` warns of, and whether it was given.
    struct Answer {
        const char* option;
        bool accepted;
    };
    Answer answer(const std::string& question) const;
};

struct CliOptions {
    enum class Action { Download, Help, Version, ListPorts, CheckPort, History };
    Action action = Action::Download;

    // Each "COMn", the path of a serial device or rfc2217://HOST:PORT;
    // several ports get the same file at once.
    std::vector<std::string> ports;
    std::optional<int32_t> baud;     // 9600 or 38400
    std::optional<int16_t> device;   // device_manual or device_tracker
    bool yes = false;                // answer the Manual prompt with OK
    const char* yesAnswer = nullptr; // how `yes` was given, as the prompt shows it; none: --yes
    int idleTimeoutSeconds = defaultIdleTimeoutSeconds; // 0: no limit, as in the window
    Risks risks;
    int settleMs = defaultSettleMs; // the line settles this long before the first message
    bool verbose = false;           // -v
    bool quiet = false;             // -q
    std::string logPath;            // --log FILE
    bool json = false;              // --json
    std::string checkPort;          // --check-port PORT
    std::string file;               // the hex file, bytes as given

    // The record of what was flashed.
    std::string historyUrl;          // --history-url; empty: [History] URL, or this station's file
    std::string operatorName;        // --operator; empty: the login name
    bool requireHistory = false;     // no download unless its row is on record
    std::string expectSha256;        // lower-case hex; empty: any file
    bool repeat = false;             // unit after unit
    std::optional<int64_t> maxUnits; // --repeat ends after this many complete units
    std::string batch;               // tags the rows; each unit gets its number in it

    // --history: which attempts, in which form.
    std::string since;
    std::string outcome;
    std::string sha256Prefix;
    bool csv = false;

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

// "COM3" (either case) gives 3; anything else is a device path.
std::optional<int> comNumber(std::string_view port);

// A command line that runs the download of `o` again, each word quoted for
// a POSIX shell where it must be. The history URL is written without its
// password; --log and --json are left out.
std::string commandLine(const CliOptions& o);

} // namespace quill::cli
