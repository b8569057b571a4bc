// SPDX-License-Identifier: MIT
#pragma once
// What quill-cli shows of a run on several ports, as text: the live line
// of each device, the line without a terminal, the final table, and the
// one exit code for the whole run. Plain functions of the devices' states.

#include "run/exitcodes.h"
#include "trace/downloadprogress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

// What the file holds for each device: the records that go out and the
// firmware data bytes in them.
using FileTotals = DownloadTotals;

// One device as the main thread knows it.
struct DeviceStatus {
    std::string port;           // as given on the command line
    std::string phase;          // the phase label's last caption; empty before the first
    int64_t records = 0;        // records sent
    int64_t dataBytes = 0;      // firmware data bytes in them
    int percent = 0;            // of the data bytes
    double seconds = 0;         // since the device's erase request
    std::optional<double> rate; // data bytes per second, once records go out
    bool ended = false;
    ExitCode code = ExitCode::Failure; // once ended
    std::string outcome;               // once ended, by name ("complete", "port_failure", ...)
};

// 0 when every device completed; otherwise the code of the first failure in
// port order when every failure has that code, else DevicesDiffer.
ExitCode aggregateExitCode(const std::vector<ExitCode>& inPortOrder);

// A few words for how a device ended, for the table.
std::string_view outcomeName(ExitCode code);

// The name of a device's trace in the --log folder, made from its port:
// "/dev/ttyUSB0" gives "dev_ttyUSB0.log", "COM2" "COM2.log".
std::string traceFileName(std::string_view port);

// On a terminal, the line of one device, redrawn in place; the port padded to `portWidth`.
std::string liveLine(const DeviceStatus& device, const FileTotals& totals, size_t portWidth);
// Without a terminal, the line of one device at a quarter and at its end.
std::string progressLine(const DeviceStatus& device, const FileTotals& totals);
// The table printed when every device has ended, one row per port in order.
std::string finalTable(const std::vector<DeviceStatus>& devices, const FileTotals& totals);

} // namespace quill::cli
