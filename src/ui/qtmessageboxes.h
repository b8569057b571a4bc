// SPDX-License-Identifier: MIT
#pragma once
// Message boxes over QMessageBox, captioned with the application title.

#include "platform/messagebox.h"

namespace quill {

class QtMessageBoxes final : public MessageBoxes {
  public:
    // Runs a nested event loop: serial and timer events go on being handled
    // while the box is open.
    MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None,
                     MsgResult defaultButton = MsgResult::Ok) override;
};

} // namespace quill
