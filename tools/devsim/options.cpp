// SPDX-License-Identifier: MIT
#include "devsim/options.h"

#include "cmdline/commandline.h"

#include <algorithm>
#include <functional>
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
        "With --listen it serves the device over the network instead (Telnet with the\n"
        "serial port control option of RFC 2217) and prints its URL first.\n"
        "Times are in milliseconds. SIGINT or SIGTERM ends it.",
        faults +
            "\n\nExit status:\n"
            "     0  ended by a signal, after the download (--exit-after-download), or by the\n"
            "        unplug; with --count, once every device has ended so\n"
            "     1  the terminal, the link, the network port or the log could not be set\n"
            "        up, or failed\n"
            "     2  bad command line\n"
            "\nExamples:\n"
            "  quill-devsim --device tracker --link /tmp/ttyOSTREL --log - --image out.bin\n"
            "  quill-devsim --fault silent-after-records --silent-after 5\n"
            "  quill-devsim --count 4 --link /tmp/ttyOSTREL --image out.bin "
            "--unplug-after 3:40\n"
            "\nSeveral devices (--count N):\n"
            "  Each device is numbered from 1 and has its own terminal, printed one per\n"
            "  line in order. --link PATH makes PATH1 to PATHN; --image and --log get the\n"
            "  number before their extension (out.bin: out1.bin ...; '-' stays shared, its\n"
            "  lines prefixed [K]). --device, --fault and the numbers may be given for one\n"
            "  device as K:VALUE (--fault 2:select-nak --erase-ms 3:900), over the value\n"
            "  given for all.\n"
            "\nOver the network (--listen [HOST:]PORT), also where there are no\n"
            "pseudo-terminals:\n"
            "  quill-devsim --listen 4001 --image out.bin\n"
            "  quill-cli -p rfc2217://localhost:4001 -b 38400 -y firmware.hex\n"
            "  HOST is 127.0.0.1 unless given: nothing is reachable from other machines\n"
            "  unless asked for (0.0.0.0, or [::] for IPv6; RFC 2217 has no password).\n"
            "  PORT 0 takes a free port; the URL printed names it. The line (baud rate,\n"
            "  parity, data bits) is what the client sets; bytes sent at one the device\n"
            "  does not use are ignored, as on a terminal. One client at a time: a second\n"
            "  one is told the device is busy and closed. When the client leaves, the\n"
            "  device starts afresh and waits for the next. --count and --link are for\n"
            "  terminals only.\n",
    };
}

// "3:select-nak" is for device 3; "select-nak" for every device.
std::pair<std::optional<int>, std::string> splitDevice(const std::string& given) {
    const size_t colon = given.find(':');
    if (colon == std::string::npos || colon == 0) {
        return {std::nullopt, given};
    }
    const auto device = cmdline::wholeNumber(std::string_view(given).substr(0, colon), 0, 9999);
    if (!device) {
        return {std::nullopt, given};
    }
    return {static_cast<int>(*device), given.substr(colon + 1)};
}

// The path of device k of n: the number goes before the extension of a
// file (out.bin: out3.bin), at the end of a link; one device keeps the path.
std::string numbered(const std::string& path, int k, int n, bool beforeExtension) {
    if (n == 1 || path.empty() || path == "-") {
        return path;
    }
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExtension = beforeExtension && dot != std::string::npos && dot > 0 &&
                              (slash == std::string::npos || dot > slash + 1);
    const size_t at = hasExtension ? dot : path.size();
    return path.substr(0, at) + std::to_string(k) + path.substr(at);
}

// "4001", "0.0.0.0:4001", "[::1]:4001": the address is checked when the
// server starts listening.
bool readListen(const std::string& text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    std::string_view portText = text;
    if (colon != std::string::npos) {
        std::string address = text.substr(0, colon);
        if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
            address = address.substr(1, address.size() - 2);
        } else if (address.empty() || address.find_first_of(":[]") != std::string::npos) {
            return false;
        }
        host = address;
        portText = std::string_view(text).substr(colon + 1);
    }
    const auto number = cmdline::wholeNumber(portText, 0, 65535);
    port = static_cast<int>(number.value_or(0));
    return number.has_value();
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string_view>& args) {
    Options o;
    Config& c = o.config;
    cmdline::CommandLine cl("quill-devsim", helpText());
    auto* device = cl.option("--device", "KIND", "manual or tracker (manual)");
    auto* fault = cl.option("--fault", "NAME", "misbehave, see below (none)");
    // A number of the model's configuration, or (none) the unplug count.
    struct Number {
        const char* name;
        int Config::*field;
        const char* description;
    };
    const Number numbers[] = {
        {"--silent-after", &Config::silentAfter, "answer N records, then fall silent"},
        {"--erase-ack-ms", &Config::eraseAckMs, "erase request -> XOFF (5)"},
        {"--erase-ms", &Config::eraseMs, "XOFF -> XON while erasing (50)"},
        {"--slow-erase-ms", &Config::slowEraseMs, "the same with --fault slow-erase (3000)"},
        {"--record-ack-ms", &Config::recordAckMs, "record -> XOFF (1)"},
        {"--record-write-ms", &Config::recordWriteMs, "XOFF -> XON after a record (1)"},
        {"--frame-ack-ms", &Config::frameAckMs, "Tracker frame -> ACK (5)"},
        {"--reboot-ms", &Config::rebootMs,
         "program frame ACK -> XON of the rebooted Tracker (200)"},
        {"--baud", &Config::baud,
         "the device's baud rate; bytes at another are garbage to it "
         "(0: it hears any)"},
        {"--unplug-after", nullptr, "answer N records, hang up when the next one comes"},
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
    auto* count = cl.option("--count", "N", "play N devices at once, see below (1)");
    auto* listen = cl.option("--listen", "[HOST:]PORT",
                             "serve the device over the network instead, see below");
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
    if (const auto text = cl.last(count); text && !text->empty()) {
        if (const auto n = cmdline::wholeNumber(*text, 1, maxDevices)) {
            o.count = static_cast<int>(*n);
        } else {
            cl.problem("--count needs a whole number from 1 to " + std::to_string(maxDevices) +
                       ", not " + *text);
        }
    }
    // Values for all devices first, in order, then those for one device.
    std::vector<std::pair<int, std::function<void(DeviceOptions&)>>> forOne;
    const auto each = [&](CLI::Option* opt, const std::string& name,
                          const std::function<std::optional<std::function<void(DeviceOptions&)>>(
                              const std::string&)>& read) {
        for (const std::string& given : cl.values(opt)) {
            const auto [device, value] = splitDevice(given);
            if (device && (*device < 1 || *device > o.count)) {
                cl.problem(name + " " + given + ": there is no device " + std::to_string(*device));
                continue;
            }
            if (value.empty()) {
                continue;
            }
            const auto apply = read(value);
            if (!apply) {
                continue;
            }
            if (device) {
                forOne.emplace_back(*device, *apply);
            } else {
                DeviceOptions all;
                all.config = c;
                all.unplugAfter = o.unplugAfter;
                (*apply)(all);
                c = all.config;
                o.unplugAfter = all.unplugAfter;
            }
        }
    };
    each(device, "--device", [&](const std::string& kind) {
        using Apply = std::function<void(DeviceOptions&)>;
        if (cmdline::sameWord(kind, "manual") || cmdline::sameWord(kind, "tracker")) {
            const Kind k = cmdline::sameWord(kind, "manual") ? Kind::Manual : Kind::Tracker;
            return std::optional<Apply>([k](DeviceOptions& d) { d.config.kind = k; });
        }
        cl.problem("--device must be manual or tracker, not " + kind);
        return std::optional<Apply>();
    });
    bool faultForAll = false;
    std::vector<int> faultFor;
    each(fault, "--fault", [&](const std::string& name) {
        using Apply = std::function<void(DeviceOptions&)>;
        if (const auto f = faultFromName(name)) {
            return std::optional<Apply>([f](DeviceOptions& d) { d.config.fault = *f; });
        }
        cl.problem("unknown fault " + name);
        return std::optional<Apply>();
    });
    for (const std::string& given : cl.values(fault)) {
        const auto device = splitDevice(given).first;
        faultForAll = faultForAll || !device;
        faultFor.push_back(device.value_or(0));
    }
    for (const auto& [number, opt] : numberOptions) {
        each(opt, number->name,
             [&cl, name = number->name, field = number->field](const std::string& text) {
                 using Apply = std::function<void(DeviceOptions&)>;
                 const auto value = cmdline::wholeNumber(text, 0, 3'600'000);
                 if (!value) {
                     cl.problem(std::string(name) +
                                " needs a whole number from 0 to 3600000, not " + text);
                     return std::optional<Apply>();
                 }
                 const int v = static_cast<int>(*value);
                 return std::optional<Apply>([field, v](DeviceOptions& d) {
                     (field != nullptr ? d.config.*field : d.unplugAfter) = v;
                 });
             });
    }
    c.burst = cl.given(burst);
    c.strictParity = !cl.given(anyParity);
    o.link = cl.last(link).value_or("");
    o.imagePath = cl.last(image).value_or("");
    o.logPath = cl.last(log).value_or("");
    o.exitAfterDownload = cl.given(exitAfter);
    if (const auto text = cl.last(listen)) {
        o.listen = readListen(*text, o.listenHost, o.listenPort);
        if (!o.listen) {
            cl.problem("--listen needs [HOST:]PORT, HOST an IP address (IPv6 in brackets) or "
                       "localhost, PORT from 0 to 65535, not " +
                       *text);
        } else if (o.count > 1 || !o.link.empty()) {
            cl.problem("--listen serves one device without a terminal: leave out " +
                       std::string(o.count > 1 ? "--count" : "--link"));
        }
    }
    for (const std::string& arg : cl.values(extra)) {
        cl.problem("unexpected argument " + arg);
    }
    // A record count to fall silent after makes sense only with that fault.
    for (const std::string& given : cl.values(numberOptions.front().second)) {
        const auto device = splitDevice(given).first;
        if (!device && !faultForAll && faultFor.empty()) {
            c.fault = Fault::SilentAfterRecords;
        } else if (device && !faultForAll &&
                   std::find(faultFor.begin(), faultFor.end(), *device) == faultFor.end()) {
            forOne.emplace_back(
                *device, [](DeviceOptions& d) { d.config.fault = Fault::SilentAfterRecords; });
        }
    }
    for (int k = 1; k <= o.count; ++k) {
        DeviceOptions d{c, o.unplugAfter, numbered(o.link, k, o.count, false),
                        numbered(o.imagePath, k, o.count, true),
                        numbered(o.logPath, k, o.count, true)};
        for (const auto& [device, apply] : forOne) {
            if (device == k) {
                apply(d);
            }
        }
        o.devices.push_back(d);
    }
    if (!cl.problems().empty()) {
        result.error = cl.problemsText();
        return result;
    }
    result.options = o;
    return result;
}

} // namespace quill::devsim
