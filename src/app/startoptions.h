// SPDX-License-Identifier: MIT
#pragma once
// What quill's command line asks before any window opens. --help and
// --version are answered on the terminal, before the application object
// exists, so they work without a display (help2man runs them at build
// time). --station opens the station window alone, with the ports, baud
// rate, device, batch and file given (read as quill-cli reads them); a
// problem with them is said on the terminal. Everything else on the command
// line is the main window's ("/p N").

#include "run/runrequest.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quill {

// The text to print for the first "--help" or "--version" among args (the
// arguments after the program's name), or nothing when there is neither.
std::optional<std::string> startReply(std::span<const std::string_view> args);

// quill --station [-p PORT]... [-b 9600|38400] [-d manual|tracker]
//                 [--batch NAME] [FILE]
struct StationStart {
    RunRequest given;     // what the command line chose; the rest as stored
    std::string problems; // every problem, then where to find help; empty: none
    bool help = false;    // -h: the help, as --help gives it
};

// The station's start when args hold "--station"; nothing otherwise.
std::optional<StationStart> stationStart(std::span<const std::string_view> args);

} // namespace quill
