// SPDX-License-Identifier: MIT
#include "cli/clioptions.h"

#include "cli/exitcodes.h"
#include "download/module1.h"

#include <charconv>

namespace quill::cli {

namespace {

std::optional<int> positiveNumber(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

ParsedCommandLine failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

// Applies one option that takes a value; the error text, or empty.
std::string applyValue(CliOptions& o, std::string_view name, std::string_view value) {
    if (name == "--port") {
        if (value.empty()) {
            return "--port needs COMn or a device path";
        }
        o.port = std::string(value);
    } else if (name == "--baud") {
        const auto baud = positiveNumber(value);
        if (!baud || (*baud != 9600 && *baud != 38400)) {
            return "--baud must be 9600 or 38400";
        }
        o.baud = *baud;
    } else if (name == "--device") {
        if (value != "manual" && value != "tracker") {
            return "--device must be manual or tracker";
        }
        o.device = value == "manual" ? device_manual : device_tracker;
    } else {
        const auto seconds = positiveNumber(value);
        if (!seconds) {
            return "--idle-timeout needs a whole number of seconds, 1 or more";
        }
        o.idleTimeoutSeconds = *seconds;
    }
    return {};
}

} // namespace

std::optional<int> comNumber(std::string_view port) {
    if (port.size() < 4 || (port.substr(0, 3) != "COM" && port.substr(0, 3) != "com")) {
        return std::nullopt;
    }
    return positiveNumber(port.substr(3));
}

ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    static constexpr std::string_view valued[] = {"--port", "--baud", "--device", "--idle-timeout"};
    CliOptions o;
    std::vector<std::string_view> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-") {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--yes" || arg == "-y") {
            o.yes = true;
        } else if (arg == "--allow-no-end-record") {
            o.allowNoEndRecord = true;
        } else {
            const size_t eq = arg.find('=');
            const std::string_view name = arg.substr(0, eq);
            bool known = false;
            for (const std::string_view v : valued) {
                known = known || name == v;
            }
            if (!known) {
                return failure("unknown option " + std::string(name));
            }
            std::string_view value;
            if (eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return failure(std::string(name) + " needs a value");
            }
            if (std::string error = applyValue(o, name, value); !error.empty()) {
                return failure(std::move(error));
            }
        }
    }
    if (o.help) {
        return {o, {}};
    }
    if (files.size() != 1 || files.front().empty()) {
        return failure(files.empty() ? "no hex file given" : "give exactly one hex file");
    }
    o.file = std::string(files.front());
    return {o, {}};
}

std::string usageText() {
    std::string text =
        R"(Usage: quill-cli [--port COMn|DEVICE] [--baud 9600|38400] [--device manual|tracker]
                 [--yes] [--allow-no-end-record] [--idle-timeout SECONDS] FILE

Downloads the Intel HEX file FILE into the flash of an Ostrel device, as the
window program's "Start Download" does, without a display. Port, baud rate
and device default to the settings the window program stored.

  --port COMn      the port COMn (1 to 4) as the window program knows it,
                   the device named under "PortNames" in its settings or
                   /dev/ttyS(n-1)
  --port DEVICE    the serial device at this path, as COM1, for this run only
  --baud RATE      9600 or 38400
  --device KIND    manual (mark parity) or tracker (even parity, then the
                   Tracker handshake)
  --yes, -y        answer the Manual prompt "Prepare device for download"
                   with OK; without it the prompt is answered on the terminal,
                   and quill-cli refuses to start when there is no terminal
  --allow-no-end-record
                   download a file that has no end record (it may be cut
                   short); without it such a file is refused
  --idle-timeout SECONDS
                   stop a download that has heard nothing from the device for
                   this long (default: wait for ever, as the window does)
  --help, -h       this text

The port is configured as the COM Setup dialog's OK does (8 data bits, 1 stop
bit, mark parity for Manual, even for Tracker) and opened; nothing is written
to the settings. Messages go to standard error in the program's own words;
progress is a live line on a terminal, a few plain lines otherwise.

Exit codes:
)";
    for (const ExitCodeInfo& info : exitCodeTable) {
        const std::string code = std::to_string(toInt(info.code));
        text += "  " + std::string(code.size() < 2 ? " " : "") + code + "  " + info.meaning + "\n";
    }
    return text;
}

} // namespace quill::cli
