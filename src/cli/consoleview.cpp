// SPDX-License-Identifier: MIT
#include "cli/consoleview.h"

#include "cli/clitexts.h"

#include <unistd.h>

namespace quill::cli {

void ConsoleView::runSaid(const std::string& text, Said how) {
    switch (how) {
    case Said::Note:
        m_console.note(text);
        break;
    case Said::Message:
        m_console.message(text);
        break;
    case Said::Error:
        m_console.error(text);
        break;
    case Said::Problem:
        m_console.error(std::string(text::ProgramName) + ": " + text);
        break;
    }
}

std::string ConsoleView::promptProblem() const {
    return m_yes || ::isatty(STDIN_FILENO) != 0 ? std::string() : text::PromptNeedsTerminal;
}

void ConsoleView::finish(const RunReport& run) {
    if (run.status() != 0) {
        m_console.showKeptBack();
    }
}

void OnePortView::deviceEvent(size_t, const DeviceEvent& event, const DeviceReport& device) {
    if (event.failed) {
        m_console.setFailed();
    }
    switch (event.kind) {
    case DeviceEvent::Kind::Message:
        m_console.message(event.text);
        break;
    case DeviceEvent::Kind::Phase:
        m_console.message(event.text);
        break;
    case DeviceEvent::Kind::Progress:
        m_progress.show(device);
        break;
    case DeviceEvent::Kind::Trace:
        m_console.trace(event.text);
        break;
    case DeviceEvent::Kind::Reached:
        break;
    case DeviceEvent::Kind::Ended:
        m_progress.finish(device);
        if (event.failed) {
            m_console.showLastKept();
        }
        break;
    }
}

} // namespace quill::cli
