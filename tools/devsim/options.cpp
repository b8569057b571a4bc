// SPDX-License-Identifier: MIT
#include "devsim/options.h"

#include "cli/commandline.h"

#include <utility>

namespace quill::devsim {

namespace {

cmdline::HelpText helpText() {
    std::string faults = "Faults (--fault NAME):\n ";
    for (const Fault fault : allFaults()) {
        faults += " " + std::string(faultName(fault));
    }
    return {
        "Usage: quill-devsim [OPTION]...",
        "Plays an Ostrel device on a pseudo-terminal; prints the terminal's path first.\n"
        "Times are in milliseconds. SIGINT or SIGTERM ends it.",
        faults + "\n\nExit status:\n"
                 "     0  ended by a signal or after the download (--exit-after-download)\n"
                 "     1  the terminal, the link or the log could not be set up, or failed\n"
                 "     2  bad command line\n"
                 "\nExamples:\n"
                 "  quill-devsim --device tracker --link /tmp/ttyOSTREL --log - --image out.bin\n"
                 "  quill-devsim --fault silent-after-records --silent-after 5\n",
    };
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string_view>& args) {
    Options o;
    Config& c = o.config;
    cmdline::CommandLine cl("quill-devsim", helpText());
    auto* device = cl.option("--device", "KIND", "manual or tracker (manual)");
    auto* fault = cl.option("--fault", "NAME", "misbehave, see below (none)");
    struct Number {
        const char* name;
        int* target;
        const char* description;
    };
    const Number numbers[] = {
        {"--silent-after", &c.silentAfter, "answer N records, then fall silent"},
        {"--erase-ack-ms", &c.eraseAckMs, "erase request -> XOFF (5)"},
        {"--erase-ms", &c.eraseMs, "XOFF -> XON while erasing (50)"},
        {"--slow-erase-ms", &c.slowEraseMs, "the same with --fault slow-erase (3000)"},
        {"--record-ack-ms", &c.recordAckMs, "record -> XOFF (1)"},
        {"--record-write-ms", &c.recordWriteMs, "XOFF -> XON after a record (1)"},
        {"--frame-ack-ms", &c.frameAckMs, "Tracker frame -> ACK (5)"},
        {"--reboot-ms", &c.rebootMs, "program frame ACK -> XON of the rebooted Tracker (200)"},
        {"--unplug-after", &o.unplugAfter, "answer N records, hang up when the next one comes"},
    };
    std::vector<std::pair<const Number*, CLI::Option*>> numberOptions;
    for (const Number& n : numbers) {
        numberOptions.emplace_back(&n, cl.option(n.name, "N", n.description));
    }
    auto* burst = cl.flag("--burst", "XOFF and XON in one write");
    auto* anyParity = cl.flag("--no-strict-parity", "hear every byte whatever the parity");
    auto* link = cl.option("--link", "PATH", "also make PATH a symlink to the terminal");
    auto* image = cl.option(
        "--image", "FILE", "write the received image (binary, gaps FF) on end of file and at exit");
    auto* log = cl.option("--log", "FILE", "log the conversation, '-' for standard error");
    auto* exitAfter =
        cl.flag("--exit-after-download", "exit once the end-of-file record has been answered");
    auto* extra = cl.positionals("ARG", "");
    cl.parse(args);

    ParsedOptions result;
    result.help = cl.help();
    if (cl.helpWanted() || cl.versionWanted()) {
        o.help = cl.helpWanted();
        o.version = !o.help;
        result.options = o;
        return result;
    }
    if (const auto kind = cl.last(device); kind && !kind->empty()) {
        if (cmdline::sameWord(*kind, "manual") || cmdline::sameWord(*kind, "tracker")) {
            c.kind = cmdline::sameWord(*kind, "manual") ? Kind::Manual : Kind::Tracker;
        } else {
            cl.problem("--device must be manual or tracker, not " + *kind);
        }
    }
    if (const auto name = cl.last(fault); name && !name->empty()) {
        if (const auto f = faultFromName(*name)) {
            c.fault = *f;
        } else {
            cl.problem("unknown fault " + *name);
        }
    }
    for (const auto& [number, opt] : numberOptions) {
        const auto text = cl.last(opt);
        if (!text || text->empty()) {
            continue;
        }
        if (const auto value = cmdline::wholeNumber(*text, 0, 3'600'000)) {
            *number->target = static_cast<int>(*value);
        } else {
            cl.problem(std::string(number->name) + " needs a whole number from 0 to 3600000, not " +
                       *text);
        }
    }
    c.burst = cl.given(burst);
    c.strictParity = !cl.given(anyParity);
    o.link = cl.last(link).value_or("");
    o.imagePath = cl.last(image).value_or("");
    o.logPath = cl.last(log).value_or("");
    o.exitAfterDownload = cl.given(exitAfter);
    for (const std::string& arg : cl.values(extra)) {
        cl.problem("unexpected argument " + arg);
    }
    // A record count to fall silent after makes sense only with that fault.
    if (cl.given(numberOptions.front().second) && !cl.given(fault)) {
        c.fault = Fault::SilentAfterRecords;
    }
    if (!cl.problems().empty()) {
        result.error = cl.problemsText();
        return result;
    }
    result.options = o;
    return result;
}

} // namespace quill::devsim
