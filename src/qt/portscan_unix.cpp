// SPDX-License-Identifier: MIT
// The serial ports of a Unix system, as QSerialPortInfo finds them.
#include "qt/portscan.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <filesystem>

namespace quill {

namespace {

// /dev/ttyS2 before /dev/ttyS10: the trailing number counts as a number.
bool naturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        const size_t digits = s.find_last_not_of("0123456789") + 1;
        const std::string number = s.substr(digits);
        return std::pair(s.substr(0, digits),
                         number.empty() ? -1L : std::stol(number.substr(0, 9)));
    };
    return split(a) < split(b);
}

} // namespace

std::vector<DetectedPort> detectPorts(const std::string& byIdFolder) {
    const std::map<std::string, std::string> links = stableLinks(byIdFolder);
    std::vector<DetectedPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        DetectedPort port;
        port.systemLocation = info.systemLocation().toStdString();
        if (const auto link = links.find(port.systemLocation); link != links.end()) {
            port.byIdPath = link->second;
        }
        port.description = info.description().toStdString();
        port.manufacturer = info.manufacturer().toStdString();
        port.serialNumber = info.serialNumber().toStdString();
        if (info.hasVendorIdentifier()) {
            port.vendorId = info.vendorIdentifier();
        }
        if (info.hasProductIdentifier()) {
            port.productId = info.productIdentifier();
        }
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        return naturalLess(a.systemLocation, b.systemLocation);
    });
    return ports;
}

std::optional<DetectedPort> detectedPort(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path node = std::filesystem::canonical(device, ec);
    // A stable link or a USB serial number needs a device behind the
    // terminal. Where the system lists its terminals in /sys (Linux), asking
    // it for the whole list walks /sys with thousands of system calls, so a
    // terminal without one (a pseudo-terminal; a Bluetooth or virtual one,
    // which the list may hold with neither) or a missing node is answered
    // without it.
    std::error_code none;
    if (const std::filesystem::path terminals = "/sys/class/tty";
        std::filesystem::is_directory(terminals, none) &&
        (ec || !std::filesystem::exists(terminals / node.filename() / "device", none))) {
        return std::nullopt;
    }
    for (DetectedPort& port : detectPorts()) {
        if (port.isNamedBy(ec ? device : node.string())) {
            return std::move(port);
        }
    }
    return std::nullopt;
}

} // namespace quill
