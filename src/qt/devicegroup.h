// SPDX-License-Identifier: MIT
#pragma once
// Who may open a serial device: the group that owns its device node, and
// the words that tell the user how to join it. Unix only; no Qt.

#include <string>

namespace quill {

// The name of the group that owns the device node at path ("dialout" on
// Debian, "uucp" on Arch); empty when it cannot be found out.
std::string deviceGroup(const std::string& path);

// "Cannot open PORT: permission denied." and what to do about it: join the
// group, then log in again. Without a group (or when only root's group may
// open it) the advice is to ask for access.
std::string permissionText(const std::string& port, const std::string& group);

} // namespace quill
