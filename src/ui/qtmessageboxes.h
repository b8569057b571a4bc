// SPDX-License-Identifier: MIT
#pragma once
// Message boxes over QMessageBox, captioned with the application title.

#include "platform/messagebox.h"

#include <cstddef>

class QWidget;

namespace quill {

class QtMessageBoxes final : public MessageBoxes {
  public:
    // Runs a nested event loop: serial and timer events go on being handled
    // while the box is open.
    MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None,
                     MsgResult defaultButton = MsgResult::Ok) override;
};

// Asks before `window` closes while `devices` devices are being flashed:
// true when they are to be stopped and the window closed. No is the
// default, so that an Enter meant for somewhere else keeps them running.
bool askStopAndClose(QWidget* window, size_t devices);

} // namespace quill
