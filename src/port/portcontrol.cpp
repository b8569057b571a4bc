// SPDX-License-Identifier: MIT
#include "port/portcontrol.h"

namespace quill {

void probe_ports(Module1& m, MSComm& port) {
    for (int16_t n = 1; n <= 4; ++n) {
        port.setCommPort(n);
        m.port_present[n] = probe_port(port);
    }
}

bool probe_port(MSComm& port) {
    // A serial device server gives each connection the whole device, and
    // one set to kick the old user (ser2net's kickolduser) would end a
    // download that another station runs on it. So a port on the network
    // is not tried: it counts as present, and a server that is not there
    // is told when the port is opened for use.
    if (port.selectedOnNetwork()) {
        return true;
    }
    if (port.setPortOpen(true)) {
        return false;
    }
    port.setPortOpen(false);
    return true;
}

bool is_valid_port(const Module1& m, int32_t port) {
    if (port < 1 || port > 4) {
        return false;
    }
    return m.port_present[static_cast<size_t>(port)];
}

bool is_valid_baud(int32_t baud) {
    return baud == 9600 || baud == 38400;
}

bool is_valid_device(int32_t value) {
    return value >= 0 && value <= 3;
}

} // namespace quill
