// SPDX-License-Identifier: MIT
// The command lines of quill-cli and quill-devsim: each row gives the
// arguments and either what the program makes of them, summed up in one
// line, or every problem reported, in order.

#include "cli/clioptions.h"
#include "devsim/options.h"
#include "shared/module1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::cli {
namespace {

std::string summary(const CliOptions& o) {
    static constexpr const char* actions[] = {"download",   "help",       "version",
                                              "list-ports", "check-port", "history"};
    std::string s = actions[static_cast<int>(o.action)];
    for (const std::string& port : o.ports) {
        s += " port=" + port;
    }
    if (o.baud) {
        s += " baud=" + std::to_string(*o.baud);
    }
    if (o.device) {
        s += *o.device == device_tracker ? " tracker" : " manual";
    }
    s += o.yes ? " yes" : "";
    s += " idle=" + std::to_string(o.idleTimeoutSeconds);
    s += o.risks.noEndRecord ? " no-end-ok" : "";
    s += o.risks.recordsAfterEnd ? " after-end-ok" : "";
    // The default the help promises, 250 ms, shows as none.
    s += o.settleMs == 250 ? "" : " settle=" + std::to_string(o.settleMs);
    s += o.verbose ? " -v" : "";
    s += o.quiet ? " -q" : "";
    s += o.logPath.empty() ? "" : " log=" + o.logPath;
    s += o.json ? " json" : "";
    s += o.checkPort.empty() ? "" : " check=" + o.checkPort;
    s += o.file.empty() ? "" : " file=" + o.file;
    for (const auto& [name, value] : {std::pair{" url=", o.historyUrl},
                                      {" operator=", o.operatorName},
                                      {" expect=", o.expectSha256},
                                      {" batch=", o.batch},
                                      {" since=", o.since},
                                      {" outcome=", o.outcome},
                                      {" sha=", o.sha256Prefix}}) {
        s += value.empty() ? "" : name + value;
    }
    s += o.requireHistory ? " require" : "";
    s += o.repeat ? " repeat" : "";
    s += o.maxUnits ? " max=" + std::to_string(*o.maxUnits) : "";
    s += o.csv ? " csv" : "";
    s += o.yield ? (o.yieldBy == YieldBy::Batch ? " yield-by-batch" : " yield") : "";
    s += o.events ? " events=" + o.events->shown : "";
    s += o.eventsUser.empty() ? "" : " events-user=" + o.eventsUser;
    return s;
}

// Each device as its options make it, in brackets (none for help and
// version); a count to fall silent after, a reboot time and the parity as
// by default are not shown.
std::string summary(const devsim::Options& o) {
    std::string s = o.help ? "help" : o.version ? "version" : "run";
    s += o.exitAfterDownload ? " exit-after" : "";
    for (const devsim::DeviceOptions& d : o.devices) {
        const devsim::Config& c = d.config;
        s += c.kind == devsim::Kind::Tracker ? " [tracker " : " [manual ";
        s += std::string(devsim::faultName(c.fault)) + " erase=" + std::to_string(c.eraseMs);
        s += c.rebootMs == 200 ? "" : " reboot=" + std::to_string(c.rebootMs);
        s += std::string(c.burst ? " burst" : "") + (c.strictParity ? "" : " any-parity");
        s += c.silentAfter > 0 ? " silent=" + std::to_string(c.silentAfter) : "";
        s += d.unplugAfter > 0 ? " unplug=" + std::to_string(d.unplugAfter) : "";
        for (const std::string* path : {&d.link, &d.imagePath, &d.logPath}) {
            s += path->empty() ? "" : " " + *path;
        }
        s += "]";
    }
    return s;
}

// The summary, or the problems as printed (without the closing "Try ..." line).
template <class Parsed> std::string result(const Parsed& parsed, const std::string& tail) {
    EXPECT_FALSE(parsed.help.empty());
    if (parsed.error.empty()) {
        return parsed.options ? summary(*parsed.options) : "no options";
    }
    EXPECT_FALSE(parsed.options);
    EXPECT_TRUE(parsed.error.ends_with(tail)) << parsed.error;
    return parsed.error.substr(0, parsed.error.size() - tail.size());
}

using Case = std::pair<std::vector<std::string>, std::string>;

const std::string nonUtf8 = "firm\xff\xfe\xe9.hex"; // Latin-1 and stray bytes

// Valid command lines, then every problem of one command line in one report.
const Case cliCases[] = {
    {{"--port", "COM2", "--baud", "38400", "--device", "tracker", "--yes", "a.hex"},
     "download port=COM2 baud=38400 tracker yes idle=60 file=a.hex"},
    {{"-p", "/dev/ttyUSB0", "-b9600", "-d", "Manual", "-yv", "a.hex"},
     "download port=/dev/ttyUSB0 baud=9600 manual yes idle=60 -v file=a.hex"},
    {{"--port=/dev/x", "--idle-timeout=0", "-q", "a.hex"},
     "download port=/dev/x idle=0 -q file=a.hex"},
    {{"--log", "t.log", "--json", "--allow-no-end-record", "--allow-records-after-end", "--settle",
      "0", "a.hex"},
     "download idle=60 no-end-ok after-end-ok settle=0 log=t.log json file=a.hex"},
    {{"-p", "/dev/b", "--port", "COM1", "-p/dev/a", "-y", "a.hex"},
     "download port=/dev/b port=COM1 port=/dev/a yes idle=60 file=a.hex"},
    // An option given again: the last one given counts.
    {{"-b", "9600", "-d", "tracker", "--idle-timeout", "5", "-b38400", "--device=manual",
      "--idle-timeout", "7", "a.hex"},
     "download baud=38400 manual idle=7 file=a.hex"},
    {{"-y", "--", "-b.hex"}, "download yes idle=60 file=-b.hex"},
    {{"-y", nonUtf8}, "download yes idle=60 file=" + nonUtf8},
    {{"-p", "/dev/\xff", "x.hex"}, "download port=/dev/\xff idle=60 file=x.hex"},
    {{"--baud", "7", "-h"}, "help idle=60"},
    {{"--version"}, "version idle=60"},
    {{"--list-ports"}, "list-ports idle=60"},
    {{"--check-port", "COM3"}, "check-port idle=60 check=COM3"},
    {{"--history-url", "postgresql://op@db/q", "--operator", "ann", "--require-history",
      "--expect-sha256", std::string(64, 'A'), "--batch", "B1", "--repeat", "--max-units", "40",
      "a.hex"},
     "download idle=60 file=a.hex url=postgresql://op@db/q operator=ann expect=" +
         std::string(64, 'a') + " batch=B1 require repeat max=40"},
    {{"--history", "--since", "2026-12-01", "-p", "COM1", "--outcome", "complete", "--sha256",
      "AB12", "--batch", "B", "--csv", "--yield", "--by", "batch"},
     "history port=COM1 idle=60 batch=B since=2026-12-01 outcome=complete sha=AB12 csv "
     "yield-by-batch"},
    {{"--events", "mqtt://b/l7", "--events-user", "st3", "a.hex"},
     "download idle=60 file=a.hex events=mqtt://b/l7 events-user=st3"},
    {{"--events", "-", "--json", "--events-user", "st3", "a.hex"},
     "quill-cli: --events - and --json cannot be used together: both write to standard output\n"
     "quill-cli: --events-user needs --events mqtt://... or mqtts://...\n"},
    {{"--history", "--events", "e.jsonl"},
     "quill-cli: --events is for downloads, not for --list-ports, --check-port or --history\n"},
    {{"--events", "mqtt://b", "a.hex"},
     "quill-cli: --events needs -, a file, mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC, "
     "not mqtt://b\n"},
    {{"--baud", "1200", "-d", "pager", "--idle-timeout", "-5", "-p", "a", "-p", "b", "-p", "a",
      "-pa", "-v", "-q", "--settle", "1.5", "--frob"},
     "quill-cli: unknown option --frob\n"
     "quill-cli: --port a is given more than once\n"
     "quill-cli: --baud must be 9600 or 38400, not 1200\n"
     "quill-cli: --device must be manual or tracker, not pager\n"
     "quill-cli: --idle-timeout needs a whole number of seconds from 0 to 86400, not -5\n"
     "quill-cli: --settle needs a whole number of milliseconds from 0 to 60000, not 1.5\n"
     "quill-cli: -v and -q cannot be used together\n"
     "quill-cli: no hex file given\n"},
    {{"a.hex", "--baud", "--port"},
     "quill-cli: --port needs a value\nquill-cli: --baud needs a value\n"},
    {{"a.hex", "b.hex"}, "quill-cli: give exactly one hex file\n"},
    // The history's counters are signed 64-bit, and hold the next number too.
    {{"--serial-at", "0", "--serial-start", "9223372036854775807", "a.hex"},
     "quill-cli: --serial-start needs a whole number from 0 to 9223372036854775806, not "
     "9223372036854775807\n"},
    {{"--idle-timeout", "1.5", "a.hex"},
     "quill-cli: --idle-timeout needs a whole number of seconds from 0 to 86400, not 1.5\n"},
    {{"--list-ports", "a.hex"}, "quill-cli: --list-ports takes no hex file\n"},
    {{"--list-ports", "--check-port", "COM1"},
     "quill-cli: --list-ports, --check-port and --history cannot be used together\n"},
    {{"--repeat", "-y", "--max-units", "0", "--expect-sha256", "abc", "--csv", "a.hex"},
     "quill-cli: --expect-sha256 needs the 64 hexadecimal digits of a SHA-256, not abc\n"
     "quill-cli: --max-units needs a whole number from 1, not 0\n"
     "quill-cli: --repeat and --yes cannot be used together: each round waits for Enter\n"
     "quill-cli: --csv needs --history\n"},
    {{"--yield", "--by", "week", "a.hex"},
     "quill-cli: --by needs day or batch, not week\nquill-cli: --yield needs --history\n"},
    {{"--history", "--by", "day"}, "quill-cli: --by needs --yield\n"},
    {{"--history", "--csv", "--json", "--sha256", "xyz", "-p", "a", "-p", "b", "a.hex"},
     "quill-cli: --sha256 needs hexadecimal digits, not xyz\n"
     "quill-cli: --csv and --json cannot be used together\n"
     "quill-cli: --history takes one --port\n"
     "quill-cli: --history takes no hex file\n"},
};

// quill-devsim --count: every device as the options for all say, changed
// by the options for it alone; its files numbered.
const Case devsimCases[] = {
    {{}, "run [manual none erase=50]"},
    {{"-h"}, "help"},
    {{"--version"}, "version"},
    {{"--device", "tracker", "--fault", "select-nak", "--erase-ms=7", "--reboot-ms", "0", "--burst",
      "--no-strict-parity", "--link", "/tmp/t", "--image", nonUtf8, "--log", "-",
      "--exit-after-download", "--unplug-after", "3"},
     "run exit-after [tracker select-nak erase=7 reboot=0 burst any-parity unplug=3 /tmp/t " +
         nonUtf8 + " -]"},
    // A count to fall silent after brings its fault.
    {{"--silent-after", "5"}, "run [manual silent-after-records erase=50 silent=5]"},
    {{"--count", "3", "--link", "/tmp/t", "--image", "dir.d/out.bin", "--log", "-"},
     "run [manual none erase=50 /tmp/t1 dir.d/out1.bin -] [manual none erase=50 /tmp/t2 "
     "dir.d/out2.bin -] [manual none erase=50 /tmp/t3 dir.d/out3.bin -]"},
    {{"--count=2", "--image", "dir.d/image", "--log", "a.log"},
     "run [manual none erase=50 dir.d/image1 a1.log] [manual none erase=50 dir.d/image2 a2.log]"},
    {{"--count", "3", "--fault", "2:select-nak", "--erase-ms", "7", "--erase-ms", "3:900",
      "--device", "tracker", "--unplug-after", "1:4"},
     "run [tracker none erase=7 unplug=4] [tracker select-nak erase=7] [tracker none erase=900]"},
    // A value for one device wins over the value for all, whatever the order.
    {{"--count", "2", "--erase-ms", "1:9", "--erase-ms", "8"},
     "run [manual none erase=9] [manual none erase=8]"},
    // ... and a count to fall silent after brings its fault unless one is given for that device.
    {{"--count", "3", "--silent-after", "1:5", "--silent-after", "2:6", "--fault", "2:silent"},
     "run [manual silent-after-records erase=50 silent=5] [manual silent erase=50 silent=6]"
     " [manual none erase=50]"},
    {{"--device", "pager", "--fault", "grumpy", "--erase-ms", "-1", "--reboot-ms", "soon", "stray",
      "--link"},
     "quill-devsim: --link needs a value\n"
     "quill-devsim: --device must be manual or tracker, not pager\n"
     "quill-devsim: unknown fault grumpy\n"
     "quill-devsim: --erase-ms needs a whole number from 0 to 3600000, not -1\n"
     "quill-devsim: --reboot-ms needs a whole number from 0 to 3600000, not soon\n"
     "quill-devsim: unexpected argument stray\n"},
    {{"--count", "2", "--fault", "3:silent", "--erase-ms", "x:5", "--count", "2"},
     "quill-devsim: --fault 3:silent: there is no device 3\n"
     "quill-devsim: --erase-ms needs a whole number from 0 to 3600000, not x:5\n"},
    {{"--count", "0"}, "quill-devsim: --count needs a whole number from 1 to 64, not 0\n"},
    {{"--frob=3", "--help-me"},
     "quill-devsim: unknown option --frob\nquill-devsim: unknown option --help-me\n"},
};

std::vector<std::string_view> views(const std::vector<std::string>& args) {
    return {args.begin(), args.end()};
}

TEST(CommandLines, ReadAsExpected) {
    for (const auto& [args, expected] : cliCases) {
        EXPECT_EQ(result(parseCommandLine(views(args)), "Try 'quill-cli --help'.\n"), expected)
            << testing::PrintToString(args);
    }
    for (const auto& [args, expected] : devsimCases) {
        EXPECT_EQ(result(devsim::parseOptions(views(args)), "Try 'quill-devsim --help'.\n"),
                  expected)
            << testing::PrintToString(args);
    }
}

TEST(ComNumber, TellsComPortsFromDevicePaths) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"COM1", 1},  {"com4", 4},   {"Com12", 12},      {"COM", {}},
        {"COM0", {}}, {"COM1x", {}}, {"/dev/ttyS0", {}}, {"COM-1", {}}};
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(comNumber(text), number) << text;
    }
}

// The command that downloads again: every option that shapes the download,
// each word quoted only where a shell would misread it, and the history's
// password left out.
TEST(CommandLine, RunsTheDownloadAgainAsAShellReadsIt) {
    CliOptions o;
    o.ports = {"/dev/ttyUSB1", "it's"};
    o.baud = 9600;
    o.device = device_tracker;
    o.idleTimeoutSeconds = 5;
    o.risks.noEndRecord = o.quiet = o.requireHistory = true;
    o.historyUrl = "postgresql://op:pw@db/q";
    o.operatorName = "Ann Lee";
    o.file = "-fw $1.hex";
    o.logPath = "t.log";
    EXPECT_EQ(commandLine(o), "quill-cli -p /dev/ttyUSB1 -p 'it'\\''s' -b 9600 -d tracker "
                              "--idle-timeout 5 --allow-no-end-record -q --require-history "
                              "--history-url postgresql://op@db/q --operator 'Ann Lee' -- "
                              "'-fw $1.hex'");
}

} // namespace
} // namespace quill::cli
