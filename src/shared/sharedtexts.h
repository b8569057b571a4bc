// SPDX-License-Identifier: MIT
#pragma once
// Texts that more than one subsystem shows, exactly as the user sees them.

namespace quill::text {

// The port panel of the status bar while no port is set up: at start-up,
// after a COM Setup that left the port closed, and after the port was lost.
inline constexpr const char* ComNotSet = "COM not set   ";

} // namespace quill::text
