// SPDX-License-Identifier: MIT
#include "cli/recordoptions.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace quill::cli {

namespace {

bool hexDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return text;
}

} // namespace

void readRecordOptions(cmdline::CommandLine& cl, CliOptions& o, const RecordOptions& r) {
    o.historyUrl = cl.last(r.historyUrl).value_or("");
    o.operatorName = cl.last(r.operatorName).value_or("");
    o.requireHistory = cl.given(r.requireHistory);
    o.batch = cl.last(r.batch).value_or("");
    o.repeat = cl.given(r.repeat);
    if (const auto text = cl.last(r.expect)) {
        o.expectSha256 = lowerCase(*text);
        if (text->size() != 64 || !hexDigits(*text)) {
            cl.problem("--expect-sha256 needs the 64 hexadecimal digits of a SHA-256, not " +
                       *text);
        }
    }
    if (const auto text = cl.last(r.maxUnits)) {
        o.maxUnits = cmdline::wholeNumber(*text, 1, 1'000'000'000);
        if (!o.maxUnits) {
            cl.problem("--max-units needs a whole number from 1, not " + *text);
        } else if (!o.repeat) {
            cl.problem("--max-units needs --repeat");
        }
    }
    if (o.repeat && (o.yes || o.json)) {
        // A loop that never waits for the next device would flash one unit
        // again and again.
        cl.problem(std::string("--repeat and ") + (o.yes ? "--yes" : "--json") +
                   " cannot be used together: each round waits for Enter");
    }
    o.since = cl.last(r.since).value_or("");
    o.outcome = cl.last(r.outcome).value_or("");
    o.sha256Prefix = cl.last(r.shaPrefix).value_or("");
    o.csv = cl.given(r.csv);
    o.yield = cl.given(r.yield);
    if (const auto by = cl.last(r.by)) {
        o.yieldBy = *by == "batch"   ? YieldBy::Batch
                    : *by == "order" ? YieldBy::Order
                                     : YieldBy::Day;
        if (*by != "batch" && *by != "day" && *by != "order") {
            cl.problem("--by needs day, batch or order, not " + *by);
        } else if (!o.yield) {
            cl.problem("--by needs --yield");
        }
    }
    if (!cl.given(r.history)) {
        for (const CLI::Option* listing : {r.since, r.outcome, r.shaPrefix, r.csv, r.yield}) {
            if (cl.given(listing) &&
                !(listing == r.csv && o.action == CliOptions::Action::Recipes)) {
                cl.problem(listing->get_name() + " needs --history");
            }
        }
        return;
    }
    o.action = CliOptions::Action::History;
    if (o.sha256Prefix.size() > 64 || !hexDigits(o.sha256Prefix)) {
        cl.problem("--sha256 needs hexadecimal digits, not " + o.sha256Prefix);
    }
    if (o.csv && o.json) {
        cl.problem("--csv and --json cannot be used together");
    }
    if (o.ports.size() > 1) {
        cl.problem("--history takes one --port");
    }
    if (o.repeat) {
        cl.problem("--history and --repeat cannot be used together");
    }
}

void readSerialOptions(cmdline::CommandLine& cl, CliOptions& o, const SerialOptions& s) {
    SerialRequest& serial = o.serial;
    o.serialValue = cl.last(s.value).value_or("");
    if (!o.serialValue.empty() && o.action != CliOptions::Action::History) {
        cl.problem("--serial needs --history");
    }
    if (const auto text = cl.last(s.at)) {
        const std::string digits =
            text->starts_with("0x") || text->starts_with("0X") ? text->substr(2) : *text;
        if (digits.empty() || digits.size() > 8 || !hexDigits(digits)) {
            cl.problem("--serial-at needs a hexadecimal address of at most 32 bits, not " + *text);
        } else {
            serial.address = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
        }
    }
    if (const auto text = cl.last(s.size)) {
        if (const auto n = cmdline::wholeNumber(*text, 1, maxSerialSize)) {
            serial.size = static_cast<size_t>(*n);
        } else {
            cl.problem("--serial-size needs a whole number from 1 to 8, not " + *text);
        }
    }
    if (const auto text = cl.last(s.format)) {
        if (const auto format = serialFormatNamed(*text)) {
            serial.format = *format;
        } else {
            cl.problem("--serial-format must be le, be or ascii, not " + *text);
        }
    }
    serial.series = cl.last(s.series).value_or(serial.series);
    if (serial.series.empty()) {
        cl.problem("--serial-series needs a name");
    }
    if (const auto text = cl.last(s.start)) {
        if (const auto n = cmdline::wholeNumber(*text, 0, static_cast<long long>(maxSerialStart))) {
            serial.start = static_cast<uint64_t>(*n);
        } else {
            cl.problem("--serial-start needs a whole number from 0 to " +
                       std::to_string(maxSerialStart) + ", not " + *text);
        }
    }
    serial.listFile = cl.last(s.list).value_or("");
    if (!serial.listFile.empty() && (cl.given(s.series) || cl.given(s.start))) {
        cl.problem("--serial-list takes neither --serial-series nor --serial-start: a list is "
                   "its own series, from its first line");
    }
    if (!serial.address) {
        for (const CLI::Option* needs : {s.size, s.format, s.start, s.list}) {
            if (cl.given(needs)) {
                cl.problem(needs->get_name() + " needs --serial-at");
            }
        }
        if (cl.given(s.series) && o.action != CliOptions::Action::History) {
            cl.problem("--serial-series needs --serial-at");
        }
    }
}

} // namespace quill::cli
