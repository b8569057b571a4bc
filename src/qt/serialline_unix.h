// SPDX-License-Identifier: MIT
#pragma once
// The Unix side of serialline.h, as far as its tests need to see it: the line
// set and read back through termios, and who may open a device node.
//
// QSerialPort alone cannot be trusted with parity: it sets CMSPAR for mark
// and space but leaves it set when even, odd or none follows on an open
// port, so a switch from mark to even silently gives space parity. And a
// driver that cannot do a parity (some USB adapters cannot do mark) keeps
// the old one without an error. So every change is written here bit by bit
// and read back.
//
// A pseudo-terminal's driver clears PARENB and forces 8 data bits on every
// change, and tcsetattr then reports EINVAL when nothing else changed.

#include "qt/serialline.h"

#include <termios.h>

namespace quill::serialline {

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

// applyLine through `io`: asks the driver of fd for cfg without flow
// control, every time, and verifies it with tcgetattr.
std::optional<LineProblem> applyTtyLine(int fd, const LineConfig& cfg, bool pseudoTerminal,
                                        TermiosIo& io = systemTermios());

// lineText of a line as termios holds it.
std::string ttyLineText(const termios& t, bool pseudoTerminal);

// The name of the group that owns the device node at path ("dialout" on
// Debian, "uucp" on Arch); empty when it cannot be found out.
std::string deviceGroup(const std::string& path);

// "Cannot open PORT: permission denied." and what to do about it: join the
// group, then log in again. Without a group (or when only root's group may
// open it) the advice is to ask for access.
std::string permissionText(const std::string& port, const std::string& group);

} // namespace quill::serialline
