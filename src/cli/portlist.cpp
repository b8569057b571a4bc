// SPDX-License-Identifier: MIT
#include "cli/portlist.h"

#include "cli/clitexts.h"
#include "port/devicebindings.h"
#include "qt/portnames.h"
#include "qt/portscan.h"

#include <cstdio>

namespace quill::cli {

namespace {

std::string hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

void field(std::string& out, const char* name, const std::string& value) {
    if (!value.empty()) {
        out += "  " + std::string(name) + std::string(15 - std::string(name).size(), ' ') + value +
               "\n";
    }
}

} // namespace

std::string portListText(const std::vector<DetectedPort>& detected,
                         const std::array<ComMapping, 4>& coms) {
    std::string out = text::PortsHeading;
    if (detected.empty()) {
        out += text::NoPortsFound;
    }
    for (const DetectedPort& port : detected) {
        out += port.systemLocation + "\n";
        field(out, "by-id", port.byIdPath);
        field(out, "description", port.description);
        field(out, "manufacturer", port.manufacturer);
        if (port.vendorId || port.productId) {
            field(out, "VID:PID",
                  (port.vendorId ? hex4(*port.vendorId) : "?") + ":" +
                      (port.productId ? hex4(*port.productId) : "?"));
        }
        field(out, "serial number", port.serialNumber);
    }
    out += std::string("\n") + text::ComHeading;
    for (size_t i = 0; i < coms.size(); ++i) {
        out += "COM" + std::to_string(i + 1) + "  " + describeDevice(coms[i].device, detected) +
               (coms[i].fromPortNames ? text::FromPortNames : text::DefaultDevice) + "\n";
    }
    return out + text::NetworkPortsNote;
}

std::string portCandidates(const std::vector<DetectedPort>& detected) {
    if (detected.empty()) {
        return text::NoPortsFound;
    }
    std::string out = text::CandidatesHeading;
    for (const DetectedPort& port : detected) {
        out += "  " + port.systemLocation + "  " + describePort(port) + "\n";
    }
    return out;
}

std::array<ComMapping, 4> comMappings(const SettingsStore& store) {
    const PortResolver resolve = defaultPortResolver(store);
    std::array<ComMapping, 4> coms;
    for (int16_t n = 1; n <= 4; ++n) {
        const std::string key = "COM" + std::to_string(n);
        coms[static_cast<size_t>(n - 1)] = {resolve(n),
                                            !store.GetSetting(portNamesSection, key).empty()};
    }
    return coms;
}

std::string listPorts(const SettingsStore& store) {
    return portListText(detectPorts(), comMappings(store));
}

} // namespace quill::cli
