// SPDX-License-Identifier: MIT
// The serial ports of a Windows system: the COM ports its drivers announce
// under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each described by the device
// that serves it (\Device\Serial0, \Device\VCP0, ...).
#include "qt/portscan.h"

#include <QSettings>

#include <algorithm>

namespace quill {

namespace {

// COM2 before COM10.
long portNumber(const std::string& name) {
    const size_t digits = name.find_last_not_of("0123456789") + 1;
    return digits < name.size() ? std::stol(name.substr(digits, 9)) : -1L;
}

} // namespace

std::vector<DetectedPort> detectPorts(const std::string& /*byIdFolder*/) {
    QSettings map(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                  QSettings::NativeFormat);
    std::vector<DetectedPort> ports;
    for (const QString& key : map.childKeys()) {
        DetectedPort port;
        port.systemLocation = map.value(key).toString().toStdString();
        port.description = key.toStdString();
        if (!port.systemLocation.empty()) {
            ports.push_back(std::move(port));
        }
    }
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        return std::pair(portNumber(a.systemLocation), a.systemLocation) <
               std::pair(portNumber(b.systemLocation), b.systemLocation);
    });
    return ports;
}

std::optional<DetectedPort> detectedPort(const std::string& device) {
    for (DetectedPort& port : detectPorts()) {
        if (port.isNamedBy(device)) {
            return std::move(port);
        }
    }
    return std::nullopt;
}

} // namespace quill
