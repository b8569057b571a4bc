// SPDX-License-Identifier: MIT
#pragma once
// Which device stands behind COM1 to COM4, as the user binds them in the
// "Devices" dialog: each COM is either left to its default device or bound
// to a detected adapter or a typed path, stored in the settings section
// "PortNames" under "COMn". A detected adapter is stored by its stable
// /dev/serial/by-id path, so that the binding survives replugging.

#include "platform/detectedport.h"
#include "platform/mscomm.h"
#include "platform/settingsstore.h"
#include "shared/module1.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace quill {

// "FT232R USB UART (FTDI) /dev/serial/by-id/usb-FTDI_...": how a detected
// adapter is shown, its stable path last.
std::string describePort(const DetectedPort& port);

// One line about the device at path: "path: description", "path: not
// found" when the system reports no such port, "path: a port on the
// network" for rfc2217://HOST:PORT.
std::string describeDevice(const std::string& path, const std::vector<DetectedPort>& detected);

class DeviceBindings {
  public:
    struct Choice {
        std::string label; // as the dialog lists it
        std::string path;  // stored when chosen; empty: the COM's default device
    };

    // defaultDevice(n): the device COMn stands for when nothing is bound.
    DeviceBindings(SettingsStore& store, std::vector<DetectedPort> detected,
                   std::function<std::string(int)> defaultDevice);

    // The choices for COMn (1 to 4): its default device, then each detected adapter.
    std::vector<Choice> choices(int com) const;
    // The path bound to COMn now; empty when none is.
    std::string bound(int com) const;
    // The choice that stands for path, or -1 when path is a typed one.
    int choiceIndex(int com, const std::string& path) const;

    // Stores the four paths (index 0 for COM1; empty: the default device).
    // A path that names a detected adapter is stored by its stable path.
    // Returns the COM numbers whose binding changed.
    std::vector<int> apply(const std::array<std::string, 4>& paths);

  private:
    SettingsStore& m_store;
    std::vector<DetectedPort> m_detected;
    std::function<std::string(int)> m_defaultDevice;
};

// Tries the ports whose device changed on `port`, as the start-up probe did,
// so that COM Setup offers them at once. The control must be closed (it
// cannot select another port while open): false, and nothing tried, if not.
bool reprobe_ports(Module1& m, MSComm& port, const std::vector<int>& ports);

} // namespace quill
