// SPDX-License-Identifier: MIT
#pragma once
// Message boxes on standard error. A box with OK only is shown and closed
// at once. The Manual prompt (OK and Cancel) is answered by --yes, or typed
// on the terminal while the event loop goes on, as under a modal box: the
// device's bytes and the timers keep being handled meanwhile. A question
// whose default is Cancel warns of a risk (a file without an end record,
// records after the end record): it is never asked, but answered OK only
// when the risk was accepted on the command line.

#include "cli/clioptions.h"
#include "cli/console.h"
#include "platform/messagebox.h"

#include <QEventLoop>

#include <functional>
#include <string>

namespace quill::cli {

class CliMessageBoxes final : public MessageBoxes {
  public:
    // `yesAnswer`: how assumeYes was given, as the prompt shows it; none: --yes.
    CliMessageBoxes(Console& console, bool assumeYes, Risks risks, const char* yesAnswer = nullptr);

    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

    // Ends a question still waiting for its answer, as Cancel.
    void abortPrompt();
    // Each message shown is told to `shown` too (the live events).
    void setShown(std::function<void(const std::string&)> shown) { m_shown = std::move(shown); }

  private:
    bool askTerminal(const std::string& question);
    void show(const std::string& text);

    Console& m_console;
    bool m_assumeYes;
    const char* m_yesAnswer;
    Risks m_risks;
    QEventLoop* m_prompt = nullptr;
    std::function<void(const std::string&)> m_shown;
};

} // namespace quill::cli
