// SPDX-License-Identifier: MIT
#include "cli/clioptions.h"

#include "cli/clitexts.h"
#include "cmdline/commandline.h"
#include "hexfile/hexfiletexts.h"
#include "run/exitcodes.h"
#include "shared/module1.h"

#include <algorithm>

namespace quill::cli {

namespace {

std::string exitStatusSection() {
    std::string text = "Exit status:\n";
    for (const ExitCodeInfo& info : exitCodeTable) {
        const std::string code = std::to_string(toInt(info.code));
        text += "  " + std::string(4 - code.size(), ' ') + code + "  " + info.meaning + "\n";
    }
    return text;
}

cmdline::HelpText helpText() {
    return {
        "Usage: quill-cli [OPTION]... FILE\n"
        "  or:  quill-cli -p PORT -p PORT [-p PORT]... [OPTION]... FILE\n"
        "  or:  quill-cli --list-ports\n"
        "  or:  quill-cli --check-port PORT",
        "Downloads the Intel HEX file FILE into the flash of an Ostrel device, as the\n"
        "window program's \"Start Download\" does, without a display. Port, baud rate\n"
        "and device default to the settings the window program stored.\n"
        "\n"
        "The port is configured as the COM Setup dialog's OK does (8 data bits, 1 stop\n"
        "bit, mark parity for Manual, even for Tracker) and opened; nothing is written\n"
        "to the settings. Messages go to standard error in the program's own words.\n"
        "Ctrl+C (SIGINT) or SIGTERM stops a download: the port is closed with its\n"
        "settings restored. Progress shows records and firmware data bytes sent of\n"
        "their totals, the elapsed time, the rate in data bytes per second and the\n"
        "time left; a summary line follows the last message.\n"
        "\n"
        "Given several ports, quill-cli downloads FILE to all of them at once, each\n"
        "device on its own: one that fails ends alone while the others go on. The file\n"
        "is checked once before any port is touched, the Manual prompt is asked once\n"
        "for all, and a table at the end says how each device ended.",
        exitStatusSection() +
            "\nExamples:\n"
            "  quill-cli --list-ports\n"
            "  quill-cli --check-port /dev/ttyUSB0\n"
            "  quill-cli -p COM2 -b 38400 -d manual -y firmware.hex\n"
            "  quill-cli -p /dev/ttyUSB0 -p /dev/ttyUSB1 -p /dev/ttyUSB2 -y firmware.hex\n"
            "  quill-cli --port /dev/ttyUSB0 --device tracker --idle-timeout 30 firmware.hex\n"
            "  quill-cli -q --json --log flash.log -p COM1 -y firmware.hex\n",
    };
}

} // namespace

Risks::Answer Risks::answer(const std::string& question) const {
    if (question == quill::text::RecordsAfterEnd) {
        return {"--allow-records-after-end", recordsAfterEnd};
    }
    return {"--allow-no-end-record", noEndRecord};
}

std::optional<int> comNumber(std::string_view port) {
    if (port.size() < 4 || !cmdline::sameWord(port.substr(0, 3), "COM")) {
        return std::nullopt;
    }
    const auto number = cmdline::wholeNumber(port.substr(3), 1, 255);
    return number ? std::optional<int>(static_cast<int>(*number)) : std::nullopt;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    cmdline::CommandLine cl(text::ProgramName, helpText());
    auto* port = cl.option("-p,--port", "COMn|DEVICE",
                           "the port COMn (1 to 4) as the window program knows it (the device "
                           "named under PortNames in its settings, or /dev/ttyS(n-1)), or the "
                           "serial device at this path");
    auto* baud = cl.option("-b,--baud", "RATE", "9600 or 38400");
    auto* device = cl.option("-d,--device", "KIND",
                             "manual (mark parity) or tracker (even parity, then the Tracker "
                             "handshake)");
    auto* yes =
        cl.flag("-y,--yes", "answer the Manual prompt \"Prepare device for download\" with OK; "
                            "without it the prompt is answered on the terminal, and quill-cli "
                            "refuses to start when there is no terminal");
    auto* idle = cl.option("--idle-timeout", "SECONDS",
                           "stop a download that has heard nothing from the device for this "
                           "long; 0 waits for ever (default: 60)");
    auto* noEnd =
        cl.flag("--allow-no-end-record",
                "accept a hex file that has no end record; without this option such a file is "
                "refused");
    auto* afterEnd = cl.flag(
        "--allow-records-after-end",
        "accept a hex file with records after its end record (two files joined), of which "
        "only the part up to the end record is sent; without this option such a file is refused");
    auto* settle = cl.option(
        "--settle", "MS",
        "after opening each port, wait this long and throw away what the device says meanwhile, "
        "so that a device that talks when its line opens is not taken as answering the first "
        "request; 0 does not wait (default: 250)");
    auto* listPorts =
        cl.flag("--list-ports", "list the serial ports found, with their stable /dev/serial/by-id "
                                "names, and the devices behind COM1 to COM4, then exit");
    auto* checkPort = cl.option("--check-port", "PORT",
                                "check that the adapter at PORT (COMn or a device path) takes "
                                "mark and even parity at 9600 and 38400, then exit");
    auto* verbose =
        cl.flag("-v,--verbose", "show what goes over the wire, in short, on standard error: each "
                                "write, each batch received, the states and the timer");
    auto* quiet = cl.flag("-q,--quiet", "show errors only: no phase, no progress, no summary; a "
                                        "failed download still shows its last message");
    auto* log =
        cl.option("--log", "FILE",
                  "write the trace of the download to FILE, one event per line: the time "
                  "in ms since the start, what happened, and the bytes in hex and as "
                  "text; written also when the download fails. With several ports FILE is a "
                  "folder, with one trace per port named after it");
    auto* json = cl.flag("--json", "at the end, print the result as one JSON object on standard "
                                   "output: outcome, exit code, port, device path, baud rate, "
                                   "device, records and data bytes sent, seconds, messages");
    auto* files = cl.positionals("FILE", "the Intel HEX file to download");
    cl.parse(args);

    ParsedCommandLine result;
    result.help = cl.help();
    CliOptions o;
    if (cl.helpWanted() || cl.versionWanted()) {
        o.action = cl.helpWanted() ? CliOptions::Action::Help : CliOptions::Action::Version;
        result.options = o;
        return result;
    }

    // The same file goes to every port given; each port once.
    o.ports = cl.values(port);
    for (auto at = o.ports.begin(); at != o.ports.end(); ++at) {
        if (std::count(o.ports.begin(), at, *at) == 1) {
            cl.problem("--port " + *at + text::PortGivenTwice);
        }
    }
    if (const auto text = cl.last(baud); text && !text->empty()) {
        const auto rate = cmdline::wholeNumber(*text, 1, 4'000'000);
        if (rate != 9600 && rate != 38400) {
            cl.problem("--baud must be 9600 or 38400, not " + *text);
        } else {
            o.baud = static_cast<int32_t>(*rate);
        }
    }
    if (const auto text = cl.last(device); text && !text->empty()) {
        if (cmdline::sameWord(*text, "manual") || cmdline::sameWord(*text, "tracker")) {
            o.device = cmdline::sameWord(*text, "manual") ? device_manual : device_tracker;
        } else {
            cl.problem("--device must be manual or tracker, not " + *text);
        }
    }
    if (const auto text = cl.last(idle); text && !text->empty()) {
        if (const auto s = cmdline::wholeNumber(*text, 0, maxIdleTimeoutSeconds)) {
            o.idleTimeoutSeconds = static_cast<int>(*s);
        } else {
            cl.problem("--idle-timeout needs a whole number of seconds from 0 to " +
                       std::to_string(maxIdleTimeoutSeconds) + ", not " + *text);
        }
    }
    if (const auto text = cl.last(settle); text && !text->empty()) {
        if (const auto ms = cmdline::wholeNumber(*text, 0, maxSettleMs)) {
            o.settleMs = static_cast<int>(*ms);
        } else {
            cl.problem("--settle needs a whole number of milliseconds from 0 to " +
                       std::to_string(maxSettleMs) + ", not " + *text);
        }
    }
    o.yes = cl.given(yes);
    o.risks.noEndRecord = cl.given(noEnd);
    o.risks.recordsAfterEnd = cl.given(afterEnd);
    o.verbose = cl.given(verbose);
    o.quiet = cl.given(quiet);
    if (o.verbose && o.quiet) {
        cl.problem("-v and -q cannot be used together");
    }
    o.logPath = cl.last(log).value_or("");
    o.json = cl.given(json);

    const std::vector<std::string> given = cl.values(files);
    if (cl.given(listPorts) && cl.given(checkPort)) {
        cl.problem("--list-ports and --check-port cannot be used together");
    } else if (cl.given(listPorts) || cl.given(checkPort)) {
        o.action =
            cl.given(listPorts) ? CliOptions::Action::ListPorts : CliOptions::Action::CheckPort;
        o.checkPort = cl.last(checkPort).value_or("");
        if (!given.empty()) {
            cl.problem(std::string(cl.given(listPorts) ? "--list-ports" : "--check-port") +
                       " takes no hex file");
        }
    } else if (given.size() != 1 || given.front().empty()) {
        cl.problem(given.empty() ? "no hex file given" : "give exactly one hex file");
    } else {
        o.file = given.front();
    }

    if (!cl.problems().empty()) {
        result.json = o.json;
        result.error = cl.problemsText();
        return result;
    }
    result.options = o;
    return result;
}

} // namespace quill::cli
