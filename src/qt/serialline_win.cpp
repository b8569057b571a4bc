// SPDX-License-Identifier: MIT
// What a Windows build asks of serialline.h beside its own serial control
// (qtmscomm_win.cpp): whether a port exists, and the network port's send.
// The rest belongs to the terminal driver of a Unix system.
#include "qt/serialline.h"

#include <winsock2.h>

#include <windows.h>

namespace quill::serialline {

// A COM port that QueryDosDevice does not know is not there.
bool deviceMissing(const std::string& device) {
    if (device.rfind("\\\\.\\", 0) == 0) {
        return false; // a device path of its own: the open will tell
    }
    char target[1024];
    return QueryDosDeviceA(device.c_str(), target, sizeof target) == 0;
}

// Windows reports a port held by another program and one the user may not
// open alike, as access denied: the message is the busy one.
std::optional<std::string> accessDenied(const std::string& /*port*/,
                                        const std::string& /*device*/) {
    return std::nullopt;
}

std::size_t sendNow(qintptr socket, std::span<const uint8_t> bytes) {
    const int sent =
        ::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(bytes.data()),
               static_cast<int>(bytes.size()), 0);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

} // namespace quill::serialline
