// SPDX-License-Identifier: MIT
#pragma once
// Message boxes answered by a script. Each box is modal: the simulated loop
// runs while it is open, for as long as the script says the user reads it.

#include "platform/messagebox.h"
#include "simloop.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quill::sim {

struct ShownBox {
    Ms shownAt;
    Ms closedAt;
    std::string text;
    MsgButtons buttons;
    MsgIcon icon;
    MsgResult result;
    MsgResult defaultButton;
};

struct BoxAnswer {
    MsgResult result = MsgResult::Ok;
    Ms after = 0; // how long the box stays open
};

class SimBoxes final : public MessageBoxes {
  public:
    explicit SimBoxes(SimLoop& loop) : m_loop(loop) {}

    // The next boxes are answered in this order; afterwards every box gets
    // `defaultAnswer`.
    void answerNext(BoxAnswer answer) { m_script.push_back(answer); }
    BoxAnswer defaultAnswer;
    // Called as each box opens, before the loop runs on.
    std::function<void(const ShownBox&)> onShow;

    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

    const std::vector<ShownBox>& shown() const { return m_shown; }
    std::vector<std::string> texts() const;

  private:
    SimLoop& m_loop;
    std::deque<BoxAnswer> m_script;
    std::vector<ShownBox> m_shown;
};

} // namespace quill::sim
