// SPDX-License-Identifier: MIT
// The names of serial devices on Linux and the other Unix systems: nodes
// under /dev, COM1 the first of the built-in UARTs.
#include "qt/portnames.h"

#include <filesystem>

namespace quill {

std::string defaultDeviceName(int16_t port) {
    return "/dev/ttyS" + std::to_string(port - 1);
}

bool comNamesTheDevice() {
    return false;
}

std::string devicePath(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find("://") != std::string::npos) {
        return name;
    }
    if (name.find('/') == std::string::npos) {
        return "/dev/" + name;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(name, ec);
    return ec ? name : absolute.lexically_normal().string();
}

} // namespace quill
