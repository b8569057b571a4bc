// SPDX-License-Identifier: MIT
#pragma once
// The messages of the serial control for a port on this machine, each naming
// the port as the user knows it; one set for every system's control.

#include "platform/mscomm.h"

#include <string>

namespace quill::localport {

inline PortError notFound(const std::string& port) {
    return {PortErrorKind::NotFound, "Cannot open " + port + ": the port does not exist."};
}

inline PortError busy(const std::string& port) {
    return {PortErrorKind::Busy,
            "Cannot open " + port + ": the port is in use by another program."};
}

inline PortError openFailed(const std::string& port, const std::string& reason) {
    return {PortErrorKind::Other, "Cannot open " + port + ": " + reason + "."};
}

inline PortError notOpen(const std::string& port) {
    return {PortErrorKind::NotOpen, port + " is not open."};
}

inline PortError unsupported(const std::string& port, const std::string& setting) {
    return {PortErrorKind::Unsupported,
            port + " cannot use " + setting + ": its driver does not support it."};
}

inline PortError refused(const std::string& port, const std::string& text,
                         const std::string& reason) {
    return {PortErrorKind::Unsupported,
            port + " refused the line configuration " + text + ": " + reason + "."};
}

inline PortError writeFailed(const std::string& port, const std::string& reason) {
    return {PortErrorKind::Other, "Could not write to " + port + ": " + reason + "."};
}

// The system's own text for a hang-up says little, so the words are ours.
inline PortError lost(const std::string& port) {
    return {PortErrorKind::Lost, "The connection to " + port +
                                     " was lost: the device or adapter went away. Reconnect it, "
                                     "then open the port again."};
}

} // namespace quill::localport
