// SPDX-License-Identifier: MIT
#pragma once
// The line configuration of an open terminal device, set and read back
// through termios. Unix only; no Qt.
//
// QSerialPort alone cannot be trusted with parity: it sets CMSPAR for mark
// and space but leaves it set when even, odd or none follows on an open
// port, so a switch from mark to even silently gives space parity. And a
// driver that cannot do a parity (some USB adapters cannot do mark) keeps
// the old one without an error. So every change is written here bit by bit
// and read back.

#include "qt/lineconfig.h"

#include <optional>
#include <string>
#include <termios.h>

namespace quill {

struct LineProblem {
    std::string setting;     // what was not applied, e.g. "mark parity"; empty with systemError
    std::string systemError; // the system's words when the driver refused the change outright
};

// The two driver calls the line settings go through: tcgetattr and
// tcsetattr (TCSANOW). Each returns 0 or the errno value of the failure.
// Tests put their own in place to see what is asked of the driver.
class TermiosIo {
  public:
    virtual ~TermiosIo() = default;
    virtual int get(int fd, termios& t) = 0;
    virtual int set(int fd, const termios& t) = 0;
};

// The calls of the system.
TermiosIo& systemTermios();

// A pseudo-terminal does not behave like a serial port: its driver clears
// PARENB and forces 8 data bits on every change, and tcsetattr then reports
// EINVAL when nothing else changed. Those are accepted on a pseudo-terminal
// only, never on a real port.
bool isPseudoTerminal(int fd, const std::string& devicePath);

// Asks the driver of the open device fd for cfg without flow control, every
// time, and verifies it with tcgetattr. Empty when the device now runs with
// cfg (as far as a pseudo-terminal can tell).
std::optional<LineProblem> applyTtyLine(int fd, const LineConfig& cfg, bool pseudoTerminal,
                                        TermiosIo& io = systemTermios());

} // namespace quill
