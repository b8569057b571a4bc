// SPDX-License-Identifier: MIT
#pragma once
// quill-cli --list-ports: the serial ports of this machine and the device
// behind each of COM1 to COM4; and the short list shown after a port that
// could not be opened.

#include "platform/detectedport.h"
#include "platform/settingsstore.h"

#include <array>
#include <string>
#include <vector>

namespace quill::cli {

// The device behind one COM, and whether the settings section "PortNames"
// names it (otherwise it is the default device).
struct ComMapping {
    std::string device;
    bool fromPortNames = false;
};

// Pure: the listing of the ports found and of COM1 to COM4.
std::string portListText(const std::vector<DetectedPort>& detected,
                         const std::array<ComMapping, 4>& coms);

// The ports found, one a line, after an error: where the port might be.
std::string portCandidates(const std::vector<DetectedPort>& detected);

// The COM1 to COM4 mapping in force, from the store.
std::array<ComMapping, 4> comMappings(const SettingsStore& store);

// The whole of --list-ports, from this machine's ports and the store.
std::string listPorts(const SettingsStore& store);

} // namespace quill::cli
