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
    enum class Action { Download, Help, Version, ListPorts, CheckPort };
    Action action = Action::Download;

    // Each "COMn" or the path of a serial device; several ports get the
    // same file at once.
    std::vector<std::string> ports;
    std::optional<int32_t> baud;                        // 9600 or 38400
    std::optional<int16_t> device;                      // device_manual or device_tracker
    bool yes = false;                                   // answer the Manual prompt with OK
    int idleTimeoutSeconds = defaultIdleTimeoutSeconds; // 0: no limit, as in the window
    Risks risks;
    int settleMs = defaultSettleMs; // the line settles this long before the first message
    bool verbose = false;           // -v
    bool quiet = false;             // -q
    std::string logPath;            // --log FILE
    bool json = false;              // --json
    std::string checkPort;          // --check-port PORT
    std::string file;               // the hex file, bytes as given

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

} // namespace quill::cli
