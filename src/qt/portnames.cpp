// SPDX-License-Identifier: MIT
#include "qt/portnames.h"

#include "platform/settingsstore.h"

namespace quill {

std::string portDisplayName(int16_t port, const std::string& device, bool namedByDevice) {
    const std::string com = "COM" + std::to_string(port);
    if (namedByDevice && !device.empty()) {
        return device;
    }
    return device.empty() || device == com ? com : com + " (" + device + ")";
}

PortResolver defaultPortResolver(const SettingsStore& store) {
    return [&store](int16_t port) -> std::string {
        if (port < 1) {
            return {};
        }
        const std::string key = "COM" + std::to_string(port);
        if (std::string named = store.GetSetting(portNamesSection, key); !named.empty()) {
            return named;
        }
        return defaultDeviceName(port);
    };
}

} // namespace quill
