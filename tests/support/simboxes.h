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
    std::string text;
    MsgButtons buttons;
    MsgIcon icon;
    MsgResult defaultButton;
};

struct BoxAnswer {
    MsgResult result = MsgResult::Ok;
    Ms after = 0; // how long the box stays open
};

class SimBoxes final : public MessageBoxes {
  public:
    explicit SimBoxes(SimLoop& loop) : m_loop(loop) {}

    // The next boxes are answered in this order; afterwards OK at once.
    void answerNext(BoxAnswer answer) { m_script.push_back(answer); }
    // Called as each box opens, before the loop runs on.
    std::function<void(const ShownBox&)> onShow;

    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override {
        const BoxAnswer answer = m_script.empty() ? BoxAnswer{} : m_script.front();
        if (!m_script.empty()) {
            m_script.pop_front();
        }
        m_shown.push_back({m_loop.now(), text, buttons, icon, defaultButton});
        if (onShow) {
            onShow(m_shown.back());
        }
        bool closed = false;
        m_loop.schedule(answer.after, [&closed] { closed = true; });
        m_loop.runUntil([&closed] { return closed; });
        return buttons == MsgButtons::Ok ? MsgResult::Ok : answer.result;
    }

    const std::vector<ShownBox>& shown() const { return m_shown; }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const ShownBox& box : m_shown) {
            out.push_back(box.text);
        }
        return out;
    }

  private:
    SimLoop& m_loop;
    std::deque<BoxAnswer> m_script;
    std::vector<ShownBox> m_shown;
};

} // namespace quill::sim
