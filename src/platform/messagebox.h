// SPDX-License-Identifier: MIT
#pragma once
// Modal message boxes. Each carries the application's title as caption and
// returns only when the user has closed it; events keep being delivered
// meanwhile. Lines of one message are joined by a carriage return.

#include <string>

namespace quill {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Exclamation };
enum class MsgResult { Ok, Cancel };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Closing the box by its frame counts as Cancel (or Ok where Ok is the only button).
    // `defaultButton` is the button Enter presses; a question whose default is
    // Cancel warns of a risk.
    virtual MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                             MsgIcon icon = MsgIcon::None,
                             MsgResult defaultButton = MsgResult::Ok) = 0;
};

} // namespace quill
