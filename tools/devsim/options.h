// SPDX-License-Identifier: MIT
#pragma once
// Command line of quill-devsim.

#include "devsim/devicemodel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::devsim {

// One device of a run: its model, its faults and timings, and its files.
struct DeviceOptions {
    Config config;
    int unplugAfter = 0;
    std::string link;
    std::string imagePath;
    std::string logPath;
};

// The largest --count.
inline constexpr int maxDevices = 64;

struct Options {
    Config config;
    std::string link;      // symlink to the pty's slave, if not empty
    std::string imagePath; // binary image written on end of file and at exit
    std::string logPath;   // conversation log; "-" for stderr
    bool exitAfterDownload = false;
    int unplugAfter = 0; // answer this many records, hang up on the next; 0: never
    // --count N: N devices at once, each as the options above say, changed
    // by the options given for it alone ("--fault 3:select-nak"); their
    // link, image and log paths carry the device's number.
    int count = 1;
    std::vector<DeviceOptions> devices; // `count` of them, from 1
    // --listen [HOST:]PORT: the device is served over the network (Telnet
    // with the serial port control option) instead of on a terminal.
    bool listen = false;
    std::string listenHost = "127.0.0.1";
    int listenPort = 0; // 0: any free port
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<Options> options;
    std::string error; // every problem, one per line, when options is empty
    std::string help;  // the help text, always filled
};

// Arguments without the program's name, as bytes.
ParsedOptions parseOptions(const std::vector<std::string_view>& args);

} // namespace quill::devsim
