// SPDX-License-Identifier: MIT
#pragma once
// A serial port the system reports, as the user would recognise it: its
// device path, the stable name that survives replugging, and what the
// adapter says about itself. Plain data; no Qt.

#include <cstdint>
#include <optional>
#include <string>

namespace quill {

struct DetectedPort {
    std::string systemLocation; // e.g. /dev/ttyUSB0
    std::string byIdPath;       // e.g. /dev/serial/by-id/usb-FTDI_..., empty when there is none
    std::string description;    // e.g. "FT232R USB UART"
    std::string manufacturer;
    std::string serialNumber;
    std::optional<uint16_t> vendorId;
    std::optional<uint16_t> productId;

    // The path to store for it: the by-id link where there is one.
    const std::string& stablePath() const { return byIdPath.empty() ? systemLocation : byIdPath; }
    // True when path names this port, by either of its paths.
    bool isNamedBy(const std::string& path) const {
        return !path.empty() && (path == systemLocation || path == byIdPath);
    }
};

} // namespace quill
