// SPDX-License-Identifier: MIT
#include "simboxes.h"

namespace quill::sim {

MsgResult SimBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                           MsgResult defaultButton) {
    BoxAnswer answer = defaultAnswer;
    if (!m_script.empty()) {
        answer = m_script.front();
        m_script.pop_front();
    }
    if (buttons == MsgButtons::Ok) {
        answer.result = MsgResult::Ok;
    }
    const size_t index = m_shown.size();
    m_shown.push_back({m_loop.now(), -1, text, buttons, icon, answer.result, defaultButton});

    if (onShow) {
        onShow(m_shown[index]);
    }
    bool closed = false;
    m_loop.schedule(answer.after, [&closed] { closed = true; });
    m_loop.runUntil([&closed] { return closed; });
    m_shown[index].closedAt = m_loop.now();
    return answer.result;
}

std::vector<std::string> SimBoxes::texts() const {
    std::vector<std::string> out;
    for (const ShownBox& box : m_shown) {
        out.push_back(box.text);
    }
    return out;
}

} // namespace quill::sim
