// SPDX-License-Identifier: MIT
#pragma once
// What window tests use to drive modal windows: a script that answers them
// as they open, and the few clicks and typing that the steps do.

#include <QObject>
#include <QString>
#include <QWidget>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>

namespace quill::test {

// Answers modal windows as they open, in order: each step waits for the
// active modal window of its object name or class, then acts on it.
class ModalScript {
  public:
    using Act = std::function<void(QWidget*)>;
    ModalScript& then(const char* name, Act act);
    // Records the text of a message box (carriage returns as shown, "\n"),
    // then presses OK.
    ModalScript& answer(
        QString* text, std::function<void()> inspect = [] {});
    // Records the text of a message box, then presses its `button` (a
    // QMessageBox::StandardButton: Yes or No, say).
    ModalScript& press(QString* text, int button);
    size_t pending() const { return m_steps.size(); } // steps not run yet

  private:
    void schedule();
    void poll();
    std::deque<std::pair<const char*, Act>> m_steps;
    int m_idlePolls = 0;
    bool m_scheduled = false;
    QObject m_guard; // pending polls die with the script
};

// The child of that object name.
template <typename T = QWidget> T* child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

// Clicks the buttons of those object names in window, in order.
void click(QWidget* window, std::initializer_list<const char*> buttons);
// Types path into a file dialog's name box, as a user would (selectFile()
// leaves that box alone while it has the focus), and presses Open.
void typeFileName(QWidget* dialog, const std::string& path);

} // namespace quill::test
