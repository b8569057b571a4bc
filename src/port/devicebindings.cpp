// SPDX-License-Identifier: MIT
#include "port/devicebindings.h"

#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "rfc2217/porturl.h"

#include <algorithm>

namespace quill {

namespace {

std::string comKey(int com) {
    return text::PortPrefix + std::to_string(com);
}

} // namespace

std::string describePort(const DetectedPort& port) {
    std::string label =
        port.description.empty() ? std::string(text::UnnamedAdapter) : port.description;
    if (!port.manufacturer.empty() && port.manufacturer != port.description) {
        label += " (" + port.manufacturer + ")";
    }
    return label + " " + port.stablePath();
}

std::string describeDevice(const std::string& path, const std::vector<DetectedPort>& detected) {
    if (rfc2217::isNetworkPortName(path)) {
        return path + text::NetworkDevice;
    }
    const auto found = std::find_if(detected.begin(), detected.end(),
                                    [&](const DetectedPort& p) { return p.isNamedBy(path); });
    if (found == detected.end()) {
        return path + text::DeviceNotFound;
    }
    std::string line =
        path + ": " + (found->description.empty() ? text::UnnamedAdapter : found->description);
    if (!found->manufacturer.empty() && found->manufacturer != found->description) {
        line += " (" + found->manufacturer + ")";
    }
    if (path != found->stablePath()) {
        line += ", " + found->stablePath();
    }
    return line;
}

DeviceBindings::DeviceBindings(SettingsStore& store, std::vector<DetectedPort> detected,
                               std::function<std::string(int)> defaultDevice)
    : m_store(store), m_detected(std::move(detected)), m_defaultDevice(std::move(defaultDevice)) {}

std::vector<DeviceBindings::Choice> DeviceBindings::choices(int com) const {
    std::vector<Choice> list;
    list.push_back(
        {text::DefaultDevicePrefix + m_defaultDevice(com) + text::DefaultDeviceSuffix, {}});
    for (const DetectedPort& port : m_detected) {
        list.push_back({describePort(port), port.stablePath()});
    }
    return list;
}

std::string DeviceBindings::bound(int com) const {
    return m_store.GetSetting(text::SectionPortNames, comKey(com));
}

int DeviceBindings::choiceIndex(int com, const std::string& path) const {
    if (path.empty()) {
        return 0;
    }
    for (size_t i = 0; i < m_detected.size(); ++i) {
        if (m_detected[i].isNamedBy(path)) {
            return static_cast<int>(i) + 1;
        }
    }
    // The default device, typed out, is the default choice.
    return path == m_defaultDevice(com) ? 0 : -1;
}

std::vector<int> DeviceBindings::apply(const std::array<std::string, 4>& paths) {
    std::vector<int> changed;
    for (int com = 1; com <= 4; ++com) {
        std::string path = paths[static_cast<size_t>(com - 1)];
        const int index = choiceIndex(com, path);
        if (index == 0) {
            path.clear();
        } else if (index > 0) {
            path = m_detected[static_cast<size_t>(index - 1)].stablePath();
        }
        if (path != bound(com)) {
            m_store.SaveSetting(text::SectionPortNames, comKey(com), path);
            changed.push_back(com);
        }
    }
    return changed;
}

bool reprobe_ports(Module1& m, MSComm& port, const std::vector<int>& ports) {
    if (port.portOpen()) {
        return false;
    }
    const int16_t selected = port.commPort();
    for (const int n : ports) {
        port.setCommPort(static_cast<int16_t>(n));
        m.port_present[static_cast<size_t>(n)] = probe_port(port);
    }
    port.setCommPort(selected);
    return true;
}

} // namespace quill
