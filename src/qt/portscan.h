// SPDX-License-Identifier: MIT
#pragma once
// The serial ports of this machine, as QSerialPortInfo finds them, each with
// its stable link from /dev/serial/by-id where one exists.

#include "platform/detectedport.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quill {

inline constexpr const char* serialByIdFolder = "/dev/serial/by-id";

// The links in folder, by the device each one resolves to: "/dev/ttyUSB0"
// -> "/dev/serial/by-id/usb-...". Empty when the folder does not exist (no
// USB serial adapter plugged in).
std::map<std::string, std::string> stableLinks(const std::string& folder);

std::vector<DetectedPort> detectPorts(const std::string& byIdFolder = serialByIdFolder);

// The port the system reports for `device` (its path or a link to it); none
// for a device it does not list, such as a pseudo-terminal, nor on Linux for
// a terminal with no device behind it in /sys (the list's entry for one
// would have no stable link and no serial number).
std::optional<DetectedPort> detectedPort(const std::string& device);

} // namespace quill
