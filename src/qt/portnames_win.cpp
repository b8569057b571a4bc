// SPDX-License-Identifier: MIT
// The names of serial ports on Windows: COM1 to COMn are the ports
// themselves, and a name is the device as the user gave it.
#include "qt/portnames.h"

namespace quill {

std::string defaultDeviceName(int16_t port) {
    return "COM" + std::to_string(port);
}

bool comNamesTheDevice() {
    return true;
}

std::string devicePath(const std::string& name) {
    return name;
}

} // namespace quill
