// SPDX-License-Identifier: MIT
#pragma once
// What quill-cli shows of a run on several ports, as text: the live line
// of each device, the line without a terminal, and the final table. Plain
// functions of the devices' reports.

#include "shared/report.h"

#include <string>
#include <vector>

namespace quill::cli {

// On a terminal, the line of one device, redrawn in place; the port padded to `portWidth`.
std::string liveLine(const DeviceReport& device, size_t portWidth);
// Without a terminal, the line of one device at a quarter and at its end.
std::string progressLine(const DeviceReport& device);
// The table printed when every device has ended, one row per port in order.
std::string finalTable(const std::vector<DeviceReport>& devices);

} // namespace quill::cli
