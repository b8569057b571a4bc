// SPDX-License-Identifier: MIT
#pragma once
// Which device stands behind COM1 to COM4 on this machine.

#include "port/porttexts.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quill {

class SettingsStore;

// Gives the device name of port n (1 for COM1); empty when there is none.
using PortResolver = std::function<std::string(int16_t)>;

inline constexpr const char* portNamesSection = text::SectionPortNames;

// The device COMn stands for when "PortNames" names none: /dev/ttyS(n-1) on
// Linux, COMn on Windows.
std::string defaultDeviceName(int16_t port);

// Whether COMn beyond COM4 is a port's own name (Windows), taken as a device
// the user names, rather than a number the settings have no device for.
bool comNamesTheDevice();

// The port as the user should read it in a message: "COM1 (/dev/ttyUSB0)",
// "COM1" when the device has that name or none, and the device alone when
// the user named the port by its device.
std::string portDisplayName(int16_t port, const std::string& device, bool namedByDevice);

// The device a port name stands for, as every message names it: a path
// with a "/" in it is taken from the working folder ("./ttyX",
// "dev/ttyS0"), a bare name from /dev ("ttyUSB0"); an absolute path and a
// network port's URL stay as they are.
std::string devicePath(const std::string& name);

// On Linux COMn is /dev/ttyS(n-1) unless the settings section "PortNames"
// names another device under the key "COMn" (a USB adapter such as
// /dev/ttyUSB0, or a pseudo-terminal); on Windows COMn, with the same
// override. The store is read at each call and must outlive the resolver.
PortResolver defaultPortResolver(const SettingsStore& store);

} // namespace quill
