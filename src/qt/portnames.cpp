// SPDX-License-Identifier: MIT
#include "qt/portnames.h"

#include "platform/settingsstore.h"

#include <filesystem>

namespace quill {

std::string defaultDeviceName(int16_t port) {
#ifdef _WIN32
    return "COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

std::string portDisplayName(int16_t port, const std::string& device, bool namedByDevice) {
    const std::string com = "COM" + std::to_string(port);
    if (namedByDevice && !device.empty()) {
        return device;
    }
    return device.empty() || device == com ? com : com + " (" + device + ")";
}

std::string devicePath(const std::string& name) {
#ifdef _WIN32
    return name;
#else
    if (name.empty() || name.front() == '/' || name.find("://") != std::string::npos) {
        return name;
    }
    if (name.find('/') == std::string::npos) {
        return "/dev/" + name;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(name, ec);
    return ec ? name : absolute.lexically_normal().string();
#endif
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
