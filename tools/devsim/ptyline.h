// SPDX-License-Identifier: MIT
#pragma once
// The line the host set on a pseudo-terminal, as the device model hears
// it: parity (ptyparity.h), rate and data bits.

#include "devsim/devicemodel.h"
#include "devsim/ptyparity.h"
#include "pty/pty.h"

#include <array>
#include <utility>

namespace quill::devsim {

// The terminal keeps the rate and size the host set, though it sends at
// neither. A rate it has no number for here is heard as the device's own.
inline Line heardLine(const pty::Pty& pty) {
    constexpr std::array<std::pair<speed_t, int>, 9> rates{{{B1200, 1200},
                                                            {B2400, 2400},
                                                            {B4800, 4800},
                                                            {B9600, 9600},
                                                            {B19200, 19200},
                                                            {B38400, 38400},
                                                            {B57600, 57600},
                                                            {B115200, 115200},
                                                            {B230400, 230400}}};
    const termios tio = pty.line();
    Line line{.parity = heardParity(pty)};
    for (const auto& [speed, baud] : rates) {
        if (cfgetospeed(&tio) == speed) {
            line.baud = baud;
        }
    }
    const tcflag_t size = tio.c_cflag & CSIZE;
    line.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    return line;
}

} // namespace quill::devsim
