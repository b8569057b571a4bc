// SPDX-License-Identifier: MIT
#include "cli/clioptions.h"

#include "cli/clihelp.h"
#include "cli/clitexts.h"
#include "cli/recordoptions.h"
#include "cmdline/commandline.h"
#include "events/eventtexts.h"
#include "hexfile/hexfiletexts.h"
#include "history/historylocation.h"
#include "history/ownfolders.h"
#include "recipe/recipe.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"
#include "shared/module1.h"

#include <algorithm>

namespace quill::cli {

namespace {

// Where the live events go, and as whom.
void readEventOptions(cmdline::CommandLine& cl, CliOptions& o, CLI::Option* target,
                      CLI::Option* user) {
    o.eventsUser = cl.last(user).value_or("");
    if (const auto text = cl.last(target)) {
        std::string problem;
        o.events = events::parseTarget(*text, problem);
        if (!o.events) {
            cl.problem(problem);
        } else if (problem = events::topicProblem(*o.events, o.ports); !problem.empty()) {
            cl.problem(problem); // every port's topic checked before any port is touched
        } else if (o.events->kind == events::Target::Kind::StandardOutput && o.json) {
            cl.problem("--events - and --json cannot be used together: both write to standard "
                       "output");
        }
    }
    if (!o.eventsUser.empty() && (!o.events || o.events->kind != events::Target::Kind::Broker)) {
        cl.problem("--events-user needs --events mqtt://... or mqtts://...");
    }
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    cmdline::CommandLine cl(text::ProgramName, helpText());
    auto* port = cl.option("-p,--port", "COMn|DEVICE|URL",
                           "the port COMn (1 to 4) as the window program knows it (the device "
                           "named under PortNames in its settings, or /dev/ttyS(n-1)), the "
                           "serial device at this path, or a serial port on the network, "
                           "rfc2217://HOST:PORT (RFC 2217, as ser2net serves it; no "
                           "authentication, no encryption: tunnel it through SSH beyond a "
                           "trusted LAN)");
    auto* baud = cl.option("-b,--baud", "RATE", "9600 or 38400");
    auto* device = cl.option("-d,--device", "KIND",
                             "manual (mark parity) or tracker (even parity, then the Tracker "
                             "handshake)");
    auto* yes =
        cl.flag("-y,--yes", "answer the Manual prompt \"Prepare device for download\" with OK; "
                            "without it the prompt is answered on the terminal, and quill-cli "
                            "refuses to start when there is no terminal");
    auto* idle = cl.option("--idle-timeout", "SECONDS",
                           "stop a download whose device has let no record go out for this "
                           "long (whether it is silent or keeps talking); 0 waits for ever "
                           "(default: 60)");
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
                                "names, and the devices behind COM1 to COM4, then exit; ports on "
                                "the network are not discovered");
    auto* checkPort = cl.option("--check-port", "PORT",
                                "check that the adapter at PORT (COMn, a device path or "
                                "rfc2217://HOST:PORT) takes mark and even parity at 9600 and "
                                "38400, then exit");
    auto* lockHash =
        cl.flag("--lock-password-hash",
                "read the engineer's password that unlocks a locked station's window (from the "
                "terminal, not shown, or from standard input's first line), print the [Station] "
                "UnlockHash line for the system settings file, then exit");
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
                                   "device, the file's SHA-256, records and data bytes sent, "
                                   "seconds, messages; with --history, one object per line");
    auto* events = cl.option(
        "--events", "TARGET",
        "write the live events of the run, one JSON object per line, as it goes: to standard "
        "output (-; everything else stays on standard error), to a file made afresh or a FIFO "
        "whose reader comes within 2 s, or to an "
        "MQTT broker, mqtt://HOST[:PORT]/TOPIC (mqtts:// for TLS, the broker checked against "
        "the system's certificates), each event published with QoS 1 to TOPIC/PORT/EVENT (the "
        "port named as --log names its traces, + # % written %2B %23 %25) and the run's to "
        "TOPIC/run/EVENT. A broker that "
        "cannot be reached ends quill-cli before any port is touched (exit status 12); one lost "
        "later never holds a download back, and what it missed is said at the end");
    auto* eventsUser = cl.option("--events-user", "NAME",
                                 "the user the broker of --events knows; the password is read "
                                 "from the environment variable " +
                                     std::string(events::text::PasswordVariable) +
                                     ", never from the command line");
    auto* historyUrl = cl.option(
        "--history-url", "URL",
        "the history to write and list: postgresql://user@host[:port]/database (a password is "
        "best kept in " +
            std::string(postgresPasswordFile()) +
            "), or the path of an SQLite file (default: [History] URL in "
            "the settings, else " +
            ownDataFolderShown("history.sqlite") + ")");
    auto* operatorName =
        cl.option("--operator", "NAME", "the operator the history names (default: the login name)");
    auto* requireHistory =
        cl.flag("--require-history", "do not start unless the download's row is on record in the "
                                     "history (exit status 11 when it cannot be written)");
    auto* expect = cl.option("--expect-sha256", "HEX",
                             "download FILE only if the SHA-256 of its bytes is HEX; any other "
                             "file is refused before a port is touched (exit status 4)");
    auto* repeat = cl.flag(
        "--repeat", "unit after unit: before each round ask \"Connect the next device and press "
                    "Enter (Ctrl+D ends)\", then download as usual, that Enter answering the "
                    "Manual prompt; at the end, how many units ended how");
    auto* maxUnits = cl.option("--max-units", "N", "--repeat ends after N units have completed");
    auto* batch = cl.option("--batch", "NAME",
                            "tag the history's rows with this batch, each unit with its number "
                            "in it; with --history, list this batch only");
    auto* history = cl.flag("--history", "list the downloads recorded in the history, newest first "
                                         "(a table; --csv or --json for machines), then exit");
    auto* since = cl.option("--since", "DATE",
                            "--history: from this date on (2026-12-06, or 2026-12-06T14:30, local "
                            "time unless a UTC offset or Z follows)");
    auto* outcome = cl.option("--outcome", "NAME",
                              "--history: only the downloads that ended so (complete, "
                              "no_erase_answer, unfinished, ...)");
    auto* shaPrefix = cl.option("--sha256", "PREFIX",
                                "--history: only the downloads of files whose SHA-256 starts so");
    auto* csv = cl.flag("--csv", "--history: as CSV, with every field");
    auto* yield =
        cl.flag("--yield", "--history: the yield of the units the filters keep instead of their "
                           "rows: per day (UTC) or per batch, the units judged, first pass and "
                           "final (complete at their first and last attempt), and apart those "
                           "stopped, the attempts that never reached a device and those running");
    auto* by = cl.option("--by", "day|batch|order",
                         "--yield: per day (the default), per batch or per work order");
    auto* workOrder = cl.option(
        "--work-order", "NAME",
        "download the recipe of this work order, each unit taking one of its places just before "
        "its device hears a byte; an order with no place left sends nothing (exit status 13). "
        "With --history: only its downloads");
    auto* serialAt = cl.option(
        "--serial-at", "ADDRESS",
        "write a number of each unit's own into its image at this address (hex, with or without "
        "0x; absolute, as the file's address records make it): each changed record goes out "
        "with its checksum made afresh; the numbers are drawn from the history, never twice");
    auto* serialSize = cl.option("--serial-size", "N", "the number's bytes, 1 to 8 (default: 4)");
    auto* serialFormat =
        cl.option("--serial-format", "FORM",
                  "le (binary, lowest byte first; the default), be (highest first) or ascii "
                  "(decimal digits, zero-padded to the size)");
    auto* serialSeries = cl.option("--serial-series", "NAME",
                                   "the counter the numbers are drawn from (default: default)");
    auto* serialStart =
        cl.option("--serial-start", "N", "the first number of a series not there yet (default: 1)");
    auto* serialList = cl.option(
        "--serial-list", "FILE",
        "take each unit's value from this file instead (a regular file, at most 16 MiB), one line "
        "each, each line once and no two alike: hex bytes for a binary form, all the digits "
        "(00:1A:2B:3C:4D:5E or 001A2B3C4D5E), the text for ascii, or # and a decimal number "
        "(#4242) in any form");
    auto* serialValue =
        cl.option("--serial", "VALUE", "--history: only the unit with this serial number");
    auto* files = cl.positionals("FILE", "the Intel HEX file to download");
    const RecipeOptions recipeOptions = declareRecipeOptions(cl);
    CLI::Option* const recipe = recipeOptions.recipe;
    cl.parse(args);

    ParsedCommandLine result;
    result.help = cl.help();
    CliOptions o;
    o.program = text::ProgramName;
    if (cl.helpWanted() || cl.versionWanted()) {
        o.action = cl.helpWanted() ? CliOptions::Action::Help : CliOptions::Action::Version;
        result.options = o;
        return result;
    }
    if (cl.given(lockHash)) {
        o.action = CliOptions::Action::LockPasswordHash; // the rest is not looked at
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
            o.idleTimeoutGiven = true;
        } else {
            cl.problem("--idle-timeout needs a whole number of seconds from 0 to " +
                       std::to_string(maxIdleTimeoutSeconds) + ", not " + *text);
        }
    }
    if (const auto text = cl.last(settle); text && !text->empty()) {
        if (const auto ms = cmdline::wholeNumber(*text, 0, maxSettleMs)) {
            o.settleMs = static_cast<int>(*ms);
            o.settleGiven = true;
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
    readEventOptions(cl, o, events, eventsUser);

    const std::vector<std::string> given = cl.values(files);
    const bool recipeCommand = readRecipeOptions(cl, o, recipeOptions, given);
    readRecordOptions(cl, o,
                      {historyUrl, operatorName, requireHistory, expect, repeat, maxUnits, batch,
                       history, since, outcome, shaPrefix, csv, yield, by});
    readSerialOptions(
        cl, o,
        {serialAt, serialSize, serialFormat, serialSeries, serialStart, serialList, serialValue});

    if (recipeCommand) {
        if (cl.given(listPorts) || cl.given(checkPort) || cl.given(history)) {
            cl.problem("the recipe and work-order commands cannot be used with --list-ports, "
                       "--check-port or --history");
        }
    } else if (int(cl.given(listPorts)) + int(cl.given(checkPort)) +
                   int(o.action == CliOptions::Action::History) >
               1) {
        cl.problem("--list-ports, --check-port and --history cannot be used together");
    } else if (cl.given(listPorts) || cl.given(checkPort) ||
               o.action == CliOptions::Action::History) {
        const char* name = cl.given(listPorts)   ? "--list-ports"
                           : cl.given(checkPort) ? "--check-port"
                                                 : "--history";
        if (o.action != CliOptions::Action::History) {
            o.action =
                cl.given(listPorts) ? CliOptions::Action::ListPorts : CliOptions::Action::CheckPort;
        }
        o.checkPort = cl.last(checkPort).value_or("");
        if (!given.empty()) {
            cl.problem(std::string(name) + " takes no hex file");
        }
    } else if (cl.given(recipe) || cl.given(workOrder)) {
        if (!given.empty()) {
            cl.problem(text::RecipeTakesNoFile);
        }
    } else if (given.size() != 1 || given.front().empty()) {
        cl.problem(given.empty() ? "no hex file given" : "give exactly one hex file");
    } else {
        o.file = given.front();
    }

    o.workOrder = cl.last(workOrder).value_or("");
    if (cl.given(recipe) && !recipeCommand && !recipeRefFromText(o.recipe)) {
        cl.problem(quill::text::BadRecipeName + o.recipe);
    }
    if (cl.given(workOrder) && o.workOrder.empty()) {
        cl.problem(text::WorkOrderNeedsName);
    }
    if (cl.given(recipe) && cl.given(workOrder) && o.action == CliOptions::Action::Download) {
        cl.problem(quill::text::RecipeAndOrder);
    }
    if (o.events && o.action != CliOptions::Action::Download) {
        cl.problem("--events is for downloads, not for --list-ports, --check-port or --history");
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
