// SPDX-License-Identifier: MIT
#pragma once
// What the serial controls ask of the operating system, said once. The build
// picks the file that answers it (serialline_unix.cpp: the terminal driver,
// poll, stat, the group database; serialline_win.cpp: the few a Windows
// build needs beside its own control), so the controls themselves hold no
// #if. A handle is the open port's QSerialPort::handle(), a descriptor; a
// socket is the network port's descriptor.

#include "qt/lineconfig.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace quill::serialline {

// QSerialPort::handle() on Unix, a descriptor. The Windows control keeps its
// HANDLE to itself.
using Handle = int;

// No device node of that name exists: the port is not there at all.
bool deviceMissing(const std::string& device);

// The device node a name stands for, links followed (a /dev/serial/by-id
// name gives /dev/ttyUSB0): the port is opened, and its lock file named,
// by the device, not by one of its names.
std::string deviceNode(const std::string& device);

// Takes the open device for this program alone, whatever name another
// program opens it by, root or not: false when another holds it.
bool takeDevice(Handle port);

// Qt reports a port held by another program and a device node the user may
// not open alike. The message for the second, with what to do about it;
// empty when access is not what failed.
std::optional<std::string> accessDenied(const std::string& port, const std::string& device);

// A pseudo-terminal does not behave like a serial port; what it does
// differently is accepted on one only, never on a real port.
bool isPseudoTerminal(Handle port, const std::string& device);

// Puts the open device on `line` without flow control, whatever it held
// before, and reads it back. QSerialPort has set the baud rate already; a
// rate the system has no constant for stays as QSerialPort set it. Empty
// when the device now runs with `line` (as far as a pseudo-terminal can
// tell).
std::optional<LineProblem> applyLine(Handle port, const LineConfig& line, bool pseudoTerminal);

// The line the open device holds, as a line configuration text such as
// "9600,M,8,1": "E/N" for the parity on a pseudo-terminal, where even and
// none read alike, and "?" for what cannot be read.
std::string lineText(Handle port, bool pseudoTerminal);

// Hands bytes to the driver at once, without waiting: how many it took, 0
// when it took none or failed. The caller queues the rest.
std::size_t writeNow(Handle port, std::span<const uint8_t> bytes);

// The same on a connected socket, where a peer that has gone must not end
// the process with a signal.
std::size_t sendNow(qintptr socket, std::span<const uint8_t> bytes);

// Throws away what the device sent that the driver still holds.
void discardInput(Handle port);

// The device hung up: unplugged, or its other side closed.
bool hungUp(Handle port);

} // namespace quill::serialline
