// SPDX-License-Identifier: MIT
#pragma once
// The one hex file of a download: which file is chosen and whether it is open.

#include "platform/hexfilesource.h"
#include "platform/messagebox.h"
#include "shared/module1.h"

#include <string>

namespace quill {

// Closes the hex file if it is open, then opens `path` from its beginning
// and records it in hex_file_name / hex_file_open. Failures are reported
// here; the caller finds hex_file_open false. An empty path opens nothing.
void open_hex_file(Module1& m, HexFileSource& file, MessageBoxes& boxes, const std::string& path);

} // namespace quill
