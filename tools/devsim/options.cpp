// SPDX-License-Identifier: MIT
#include "devsim/options.h"

#include <charconv>

namespace quill::devsim {

namespace {

std::optional<int> toInt(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

ParsedOptions failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

} // namespace

std::string usage() {
    std::string text = R"(Usage: quill-devsim [options]
Plays an Ostrel device on a pseudo-terminal; prints the terminal's path first.

  --device manual|tracker  kind of device (manual)
  --fault NAME             misbehave, see below (none)
  --silent-after N         answer N records, then fall silent
  --erase-ack-ms N         erase request -> XOFF (5)
  --erase-ms N             XOFF -> XON while erasing (50)
  --slow-erase-ms N        the same with --fault slow-erase (3000)
  --record-ack-ms N        record -> XOFF (1)
  --record-write-ms N      XOFF -> XON after a record (1)
  --frame-ack-ms N         Tracker frame -> ACK (5)
  --reboot-ms N            program frame ACK -> XON of the rebooted Tracker (200)
  --burst                  XOFF and XON in one write
  --no-strict-parity       hear every byte whatever the parity
  --link PATH              also make PATH a symlink to the terminal
  --image FILE             write the received image (binary, gaps FF) on end of file and at exit
  --log FILE               log the conversation, '-' for stderr
  --exit-after-download    exit once the end-of-file record has been answered
  --unplug-after N         answer N records, hang up when the next one comes
  --help                   this text

Faults:)";
    for (const Fault fault : allFaults()) {
        text += " " + std::string(faultName(fault));
    }
    return text + "\n";
}

ParsedOptions parseOptions(const std::vector<std::string_view>& args) {
    Options o;
    Config& c = o.config;
    bool faultGiven = false;
    bool silentAfterGiven = false;
    const std::vector<std::pair<std::string_view, int*>> numbers = {
        {"--erase-ack-ms", &c.eraseAckMs},
        {"--erase-ms", &c.eraseMs},
        {"--slow-erase-ms", &c.slowEraseMs},
        {"--record-ack-ms", &c.recordAckMs},
        {"--record-write-ms", &c.recordWriteMs},
        {"--frame-ack-ms", &c.frameAckMs},
        {"--reboot-ms", &c.rebootMs},
        {"--silent-after", &c.silentAfter},
        {"--unplug-after", &o.unplugAfter},
    };
    const std::vector<std::pair<std::string_view, std::string*>> texts = {
        {"--link", &o.link}, {"--image", &o.imagePath}, {"--log", &o.logPath}};

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string_view value = hasValue ? args[i + 1] : std::string_view{};
        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--burst") {
            c.burst = true;
        } else if (arg == "--no-strict-parity") {
            c.strictParity = false;
        } else if (arg == "--exit-after-download") {
            o.exitAfterDownload = true;
        } else if ((arg == "--device" || arg == "--fault") && !hasValue) {
            return failure(std::string(arg) + " needs a value");
        } else if (arg == "--device") {
            if (value != "manual" && value != "tracker") {
                return failure("unknown device: " + std::string(value));
            }
            c.kind = value == "manual" ? Kind::Manual : Kind::Tracker;
            ++i;
        } else if (arg == "--fault") {
            const auto fault = faultFromName(value);
            if (!fault) {
                return failure("unknown fault: " + std::string(value));
            }
            c.fault = *fault;
            faultGiven = true;
            ++i;
        } else {
            bool known = false;
            for (const auto& [name, target] : numbers) {
                if (arg != name) {
                    continue;
                }
                const auto number = hasValue ? toInt(value) : std::nullopt;
                if (!number) {
                    return failure(std::string(name) + " needs a number of 0 or more");
                }
                *target = *number;
                silentAfterGiven = silentAfterGiven || name == "--silent-after";
                known = true;
            }
            for (const auto& [name, target] : texts) {
                if (arg != name) {
                    continue;
                }
                if (!hasValue || value.empty()) {
                    return failure(std::string(name) + " needs a path");
                }
                *target = std::string(value);
                known = true;
            }
            if (!known) {
                return failure("unknown option: " + std::string(arg));
            }
            ++i;
        }
    }
    // A record count to fall silent after makes sense only with that fault.
    if (silentAfterGiven && !faultGiven) {
        c.fault = Fault::SilentAfterRecords;
    }
    return {o, {}};
}

} // namespace quill::devsim
