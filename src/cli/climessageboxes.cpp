// SPDX-License-Identifier: MIT
#include "cli/climessageboxes.h"

#include "cli/clitexts.h"

#include <QSocketNotifier>

#include <cctype>
#include <unistd.h>

namespace quill::cli {

CliMessageBoxes::CliMessageBoxes(Console& console, bool assumeYes, Risks risks,
                                 const char* yesAnswer)
    : m_console(console), m_assumeYes(assumeYes),
      m_yesAnswer(yesAnswer != nullptr ? yesAnswer : text::PromptAnsweredByOption), m_risks(risks) {
}

MsgResult CliMessageBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon,
                                  MsgResult defaultButton) {
    if (buttons == MsgButtons::Ok) {
        show(text);
        return MsgResult::Ok;
    }
    // The prompt ends in a carriage return; the answer goes on its line.
    const std::string question = text.substr(0, text.find_last_not_of('\r') + 1);
    if (defaultButton == MsgResult::Cancel) {
        const Risks::Answer answer = m_risks.answer(text);
        show(
            question + text::PromptChoices +
            (answer.accepted
                 ? text::RiskAcceptedPrefix + std::string(answer.option) + text::RiskAcceptedSuffix
                 : text::RiskRefusedPrefix + std::string(answer.option) + text::RiskRefusedSuffix));
        return answer.accepted ? MsgResult::Ok : MsgResult::Cancel;
    }
    if (m_assumeYes) {
        show(question + text::PromptChoices + m_yesAnswer);
        return MsgResult::Ok;
    }
    return askTerminal(question) ? MsgResult::Ok : MsgResult::Cancel;
}

// The answer is read when the terminal hands over a line, from a nested
// event loop, never by blocking in read().
bool CliMessageBoxes::askTerminal(const std::string& question) {
    m_console.ask(question + text::PromptChoices);
    std::string answer;
    bool ended = false;
    QEventLoop loop;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            answer.append(buffer, static_cast<size_t>(n));
        }
        // A whole line, or the end of the input (which answers no).
        if (n <= 0 || answer.find('\n') != std::string::npos) {
            ended = true;
            notifier.setEnabled(false);
            loop.quit();
        }
    });
    m_prompt = &loop;
    loop.exec();
    m_prompt = nullptr;
    if (!ended) {
        m_console.endLine();
        return false;
    }
    const size_t first = answer.find_first_not_of(" \t");
    return first != std::string::npos &&
           std::tolower(static_cast<unsigned char>(answer[first])) == 'y';
}

void CliMessageBoxes::show(const std::string& text) {
    m_console.message(text);
    if (m_shown) {
        m_shown(text);
    }
}

void CliMessageBoxes::abortPrompt() {
    if (m_prompt != nullptr) {
        m_prompt->quit();
    }
}

} // namespace quill::cli
