// SPDX-License-Identifier: MIT
#include "app/startoptions.h"

#include "cmdline/commandline.h"
#include "quillversion.h"
#include "shared/module1.h"
#include "ui/uitexts.h"

#include <algorithm>

namespace quill {

std::optional<std::string> startReply(std::span<const std::string_view> args) {
    for (const std::string_view arg : args) {
        if (arg == "--help") {
            return std::string(text::ProgramHelp);
        }
        if (arg == "--version") {
            return std::string(text::ProgramName) + ' ' + QuillVersion + '\n';
        }
    }
    return std::nullopt;
}

std::optional<StationStart> stationStart(std::span<const std::string_view> args) {
    if (std::find(args.begin(), args.end(), "--station") == args.end()) {
        return std::nullopt;
    }
    cmdline::CommandLine cl(text::ProgramName, {text::ProgramHelp, {}, {}});
    cl.flag("--station", "");
    auto* port = cl.option("-p,--port", "PORT", "");
    auto* baud = cl.option("-b,--baud", "RATE", "");
    auto* device = cl.option("-d,--device", "KIND", "");
    auto* batch = cl.option("--batch", "NAME", "");
    auto* file = cl.positionals("FILE", "");
    cl.parse(std::vector<std::string_view>(args.begin(), args.end()));

    StationStart start;
    start.help = cl.helpWanted();
    RunRequest& r = start.given;
    r.program = text::ProgramName;
    r.ports = cl.values(port);
    if (const auto given = cl.last(baud)) {
        const auto rate = cmdline::wholeNumber(*given, 1, 4'000'000);
        if (rate != 9600 && rate != 38400) {
            cl.problem(text::StationBadBaud + *given);
        } else {
            r.baud = static_cast<int32_t>(*rate);
        }
    }
    if (const auto given = cl.last(device)) {
        if (cmdline::sameWord(*given, "manual") || cmdline::sameWord(*given, "tracker")) {
            r.device = cmdline::sameWord(*given, "manual") ? device_manual : device_tracker;
        } else {
            cl.problem(text::StationBadDevice + *given);
        }
    }
    r.batch = cl.last(batch).value_or("");
    const std::vector<std::string> files = cl.values(file);
    if (files.size() > 1) {
        cl.problem(text::StationOneFile + std::to_string(files.size()));
    } else if (!files.empty()) {
        r.file = files.front();
    }
    if (!cl.problems().empty()) {
        start.problems = cl.problemsText();
    }
    return start;
}

} // namespace quill
