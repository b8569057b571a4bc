// SPDX-License-Identifier: MIT
#pragma once
// Choosing the hex file: by the Open dialog, or by dropping it on the main
// window.

#include "platform/filedialog.h"
#include "shared/context.h"

#include <string>
#include <vector>

namespace quill {

// Takes over a chosen path: shows it in the status bar, closes an open file,
// and enables "Start Download" when the port is open and the name is not empty.
void select_hex_file(Context& c, const std::string& path);

// File, "Open". A file chosen while a download runs ends that download
// first, with a message; so does a drop.
void mnuFileOpen_Click(Context& c, FileDialog& dialog);

// Files dropped on the main window: the first one is opened and, once open,
// becomes the chosen file exactly as if it had been chosen in the dialog.
void Form_OLEDragDrop(Context& c, const std::vector<std::string>& files);

} // namespace quill
