// SPDX-License-Identifier: MIT
#pragma once
// Which serial ports this machine has, and which port numbers, baud rates
// and device options are usable.

#include "platform/mscomm.h"
#include "shared/module1.h"

#include <cstdint>

namespace quill {

// Tries to open COM1 to COM4 once, at start-up, and marks in port_present
// those that opened. A port that is missing or held by another program is
// absent for the whole run; nothing is reported. Leaves the port closed.
// A port on the network counts as present without a connection.
void probe_ports(Module1& m, MSComm& port);

// Whether the port selected on `port` can be opened, as the probe finds
// out; the port is left closed.
bool probe_port(MSComm& port);

// 1 to 4, and found by the probe.
bool is_valid_port(const Module1& m, int32_t port);
// 9600 or 38400.
bool is_valid_baud(int32_t baud);
// 0 to 3.
bool is_valid_device(int32_t value);

} // namespace quill
