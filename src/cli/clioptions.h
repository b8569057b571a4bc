// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's command line. Pure: no Qt, no system calls.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

struct CliOptions {
    std::optional<std::string> port; // "COMn", or the path of a serial device
    std::optional<int32_t> baud;     // 9600 or 38400
    std::optional<int16_t> device;   // device_manual or device_tracker
    bool yes = false;                // answer the Manual prompt with OK
    bool allowNoEndRecord = false;   // download a file that has no end record
    int idleTimeoutSeconds = 0;      // 0: no limit, as in the window
    std::string file;                // the hex file, bytes as given
    bool help = false;
};

struct ParsedCommandLine {
    std::optional<CliOptions> options;
    std::string error; // when options is empty
};

// Arguments without the program's name. "--name value" and "--name=value"
// are both accepted; "--" ends the options.
ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args);

// "COM3" (either case) gives 3; anything else is a device path.
std::optional<int> comNumber(std::string_view port);

std::string usageText();

} // namespace quill::cli
