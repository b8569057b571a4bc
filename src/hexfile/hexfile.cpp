// SPDX-License-Identifier: MIT
#include "hexfile/hexfile.h"

#include "hexfile/hexfiletexts.h"

namespace quill {

void open_hex_file(Module1& m, HexFileSource& file, MessageBoxes& boxes, const std::string& path) {
    if (m.hex_file_open) {
        const bool closed = file.close();
        m.hex_file_open = false; // closed, or in no state to be read on
        if (!closed) {
            boxes.MsgBox(text::FileCloseError);
            return;
        }
    }
    if (path.empty()) {
        return;
    }
    if (!file.open(path)) {
        boxes.MsgBox(text::OpenFileError);
        m.hex_file_open = false;
        return;
    }
    m.hex_file_name = path;
    m.hex_file_open = true;
}

} // namespace quill
