// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --check-port PORT: can this adapter do what a download needs?
// A Manual download runs at mark parity; a Tracker download starts at even
// parity and switches to mark. Each setting is applied at 9600 and 38400
// through the serial control a download uses, and read back from the
// driver: many USB adapters take mark or even parity without an error and
// keep what they had.
// A port on the network is checked through its server: each setting is
// asked for, and what the server answers is the read-back.

#include "platform/settingsstore.h"
#include "qt/lineconfig.h"
#include "shared/exitcodes.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quill::cli {

struct CheckRow {
    LineConfig wanted;
    bool accepted = false; // the driver took the setting without an error
    std::string refusal;   // the driver's words when it did not, or the server's note
    std::string readBack;  // what the device holds afterwards, e.g. "9600,M,8,1"
    bool holds = false;    // the device now runs with the setting
};

struct CheckReport {
    std::string port;
    bool pseudoTerminal = false;
    bool network = false; // read back: what the server answered
    std::vector<CheckRow> rows;
};

// The settings checked, in order: at 9600 and 38400, mark and then even parity.
std::vector<LineConfig> checkedSettings();

// Pure: the table, the pseudo-terminal note and the verdict.
std::string checkReportText(const CheckReport& report);
// Complete when every setting holds, PortError otherwise.
ExitCode checkExitCode(const CheckReport& report);

// Opens the device and checks it; empty with `error` set when it cannot be
// opened: the serial control's sentence, as a download says it.
std::optional<CheckReport> runPortCheck(const std::string& device, std::string& error);
// The same through the server of a port on the network.
std::optional<CheckReport> runNetworkPortCheck(const std::string& url, std::string& error);

// The whole of --check-port: PORT is COMn (resolved as the window program
// does), a device path or a network port's URL. Prints to out; errors go to
// standard error.
ExitCode checkPort(const std::string& port, const SettingsStore& store, std::FILE* out);

} // namespace quill::cli
