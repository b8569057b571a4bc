// SPDX-License-Identifier: MIT
#pragma once
// One download on one device, as every view reads it: quill-cli's lines,
// its table and --json, the history, the window. A run makes it, keeps it
// up to date as events come, and hands it on whole; a view that needs
// something new of a download reads it here rather than keeping a copy of
// its own.

#include "platform/hexfilesource.h"
#include "shared/outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// How far a download has come.
struct Progress {
    std::string phase;          // the phase label's last caption: "Erasing Flash ...", ...
    int64_t records = 0;        // records sent
    int64_t dataBytes = 0;      // firmware data bytes in them
    int percent = 0;            // of the data bytes (of the records, for a file without data)
    double seconds = 0;         // from the erase request to the end of the download
    std::optional<double> rate; // data bytes per second, once records go out
    std::optional<double> secondsLeft; // at that rate
};

struct DeviceReport {
    std::string port;       // as named: "COM1", "/dev/ttyUSB0", a by-id link, a URL
    std::string devicePath; // the device node it resolved to, links followed; empty when unknown
    std::optional<int32_t> baud;
    std::optional<int16_t> deviceType; // device_manual, device_tracker, ...
    std::string file;                  // as given
    FileIdentity identity;             // of the bytes checked; unknown when not read to the end
    DownloadTotals totals;             // what the file holds for the device
    std::string traceFile;             // the trace kept of it, if one is
    std::string batch;
    std::optional<int64_t> unit;      // its number in the batch, or its round in --repeat
    std::string serial;               // the number written into its image, as written; empty: none
    std::vector<uint8_t> serialBytes; // ... as it went into the image
    std::string unitKey;              // the unit this download is an attempt of
    std::string recipe;               // the recipe run, "NAME@VERSION"; empty: a file
    std::string workOrder;            // the work order the unit is one of; empty: none
    // Its number among the unit's attempts, once the device heard a byte
    // (1: the first pass); none while it has not.
    std::optional<int> attemptNo;
    Progress progress;
    std::vector<std::string> messages; // every message of this device, lines joined by "\n"
    std::optional<Outcome> outcome;    // none while it runs

    bool ended() const { return outcome.has_value(); }
    // A message in the system's words (lines joined by CR) as it is kept.
    void addMessage(std::string text);
    const std::string& lastMessage() const;
};

// A message in the system's words (lines joined by CR) as a report keeps
// it: lines joined by "\n", no line break at its end.
std::string keptMessage(std::string text);

// "manual", "tracker" or "other"; empty when unknown.
const char* deviceKindName(std::optional<int16_t> deviceType);

// A run of one or several devices, once it has ended.
struct RunReport {
    std::vector<DeviceReport> devices; // in the order their ports were named
    Outcome outcome = Outcome::Failure;
    ExitCode code = ExitCode::Failure;
    int signal = 0; // SIGINT or SIGTERM that ended it; 0 when none did
    FileIdentity identity;
    DownloadTotals totals;
    std::vector<std::string> messages; // the run's own, said for all devices, as kept

    // The process's exit status: an interrupted run reports its signal.
    int status() const { return exitStatus(code, signal); }
};

// The run's code from its devices' ends: 0 when every device completed;
// otherwise the code of the first failure in port order when every failure
// has that code, else DevicesDiffer. The outcome goes with it.
void judgeRun(RunReport& run);

} // namespace quill
