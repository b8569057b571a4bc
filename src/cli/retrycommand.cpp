// SPDX-License-Identifier: MIT
// The command line that does again what options asked: quill-cli's advice
// for the ports that failed.

#include "cli/clioptions.h"
#include "cli/clitexts.h"
#include "history/historylocation.h"
#include "shared/module1.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace quill::cli {

namespace {

// A word as a POSIX shell reads it back: as it stands when it is plain,
// else in single quotes, each quote in it closed, escaped and reopened.
std::string shellWord(const std::string& word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
               std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
    });
    if (plain) {
        return word;
    }
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

std::string commandLine(const CliOptions& o) {
    std::vector<std::string> words{text::ProgramName};
    const auto add = [&](std::initializer_list<std::string> more) {
        words.insert(words.end(), more);
    };
    for (const std::string& port : o.ports) {
        add({"-p", port});
    }
    if (o.baud) {
        add({"-b", std::to_string(*o.baud)});
    }
    if (o.device) {
        add({"-d", *o.device == device_tracker ? "tracker" : "manual"});
    }
    if (o.yes) {
        add({"-y"});
    }
    if (o.idleTimeoutSeconds != defaultIdleTimeoutSeconds) {
        add({"--idle-timeout", std::to_string(o.idleTimeoutSeconds)});
    }
    if (o.settleMs != defaultSettleMs) {
        add({"--settle", std::to_string(o.settleMs)});
    }
    for (const auto& [given, option] : {std::pair{o.risks.noEndRecord, "--allow-no-end-record"},
                                        {o.risks.recordsAfterEnd, "--allow-records-after-end"},
                                        {o.verbose, "-v"},
                                        {o.quiet, "-q"},
                                        {o.requireHistory, "--require-history"}}) {
        if (given) {
            add({option});
        }
    }
    // Without its password: this line is printed.
    const auto history = historyAt(o.historyUrl);
    for (const auto& [option, value] :
         {std::pair{"--history-url",
                    history && !o.historyUrl.empty() ? history->withoutPassword() : ""},
          {"--operator", o.operatorName},
          {"--batch", o.batch},
          {"--expect-sha256", o.expectSha256},
          {"--events", o.events ? o.events->shown : ""},
          {"--events-user", o.eventsUser}}) {
        if (!value.empty()) {
            add({option, value});
        }
    }
    // The next units draw on from the same counter.
    if (const SerialRequest& s = o.serial; s.address) {
        char address[16];
        std::snprintf(address, sizeof address, "0x%X", *s.address);
        add({"--serial-at", address, "--serial-size", std::to_string(s.size), "--serial-format",
             serialFormatName(s.format)});
        if (!s.listFile.empty()) {
            add({"--serial-list", s.listFile});
        } else {
            add({"--serial-series", s.series, "--serial-start", std::to_string(s.start)});
        }
    }
    if (!o.recipe.empty() || !o.workOrder.empty()) {
        add({o.recipe.empty() ? "--work-order" : "--recipe",
             o.recipe.empty() ? o.workOrder : o.recipe});
    } else {
        add({"--", o.file});
    }
    std::string line;
    for (const std::string& word : words) {
        line += (line.empty() ? "" : " ") + shellWord(word);
    }
    return line;
}

} // namespace quill::cli
