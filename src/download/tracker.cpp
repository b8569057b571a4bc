// SPDX-License-Identifier: MIT
#include "download/tracker.h"

#include <string>

namespace quill {

void build_packet(std::vector<uint8_t>& result, uint8_t a, uint8_t b, uint8_t c, uint8_t n,
                  const uint8_t* data) {
    result.assign(static_cast<size_t>(n) + 7, 0x00);
    result[0] = 0x02;
    result[1] = static_cast<uint8_t>(n + 3);
    result[2] = a;
    result[3] = b;
    result[4] = c;
    uint8_t sum = 0;
    for (size_t i = 1; i <= 4; ++i) {
        sum = static_cast<uint8_t>(sum + result[i]);
    }
    for (size_t k = 0; k < n; ++k) {
        result[5 + k] = data[k];
        sum = static_cast<uint8_t>(sum + data[k]);
    }
    result[5 + n] = static_cast<uint8_t>(0x100 - sum);
}

PortStatus set_mark_parity(const Module1& m, MSComm& port) {
    return port.setSettings(lineSettings(m.baud_rate, 'M'));
}

} // namespace quill
