// SPDX-License-Identifier: MIT
#pragma once
// Quill's icon on every window, and the desktop entry the window belongs to.

#include <QIcon>

namespace quill {

// The icon drawn at 16, 32, 48, 64 and 128 pixels, from the resources built
// into the program (no image plugin is needed at run time).
QIcon applicationIcon();

// Sets the icon for every window of the application and names its desktop
// entry, so that a Wayland compositor finds the same icon. Call once, after
// the QApplication has been built.
void setApplicationIdentity();

} // namespace quill
