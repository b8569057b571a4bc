// SPDX-License-Identifier: MIT
#pragma once
// Command line of quill-devsim.

#include "devsim/devicemodel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::devsim {

struct Options {
    Config config;
    std::string link;      // symlink to the pty's slave, if not empty
    std::string imagePath; // binary image written on end of file and at exit
    std::string logPath;   // conversation log; "-" for stderr
    bool exitAfterDownload = false;
    int unplugAfter = 0; // answer this many records, hang up on the next; 0: never
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
