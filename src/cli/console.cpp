// SPDX-License-Identifier: MIT
#include "cli/console.h"

#include <utility>

namespace quill::cli {

namespace {

// CR joins the lines of one message; a trailing one ends the last line.
std::string lines(std::string_view text) {
    std::string out(text);
    while (!out.empty() && out.back() == '\r') {
        out.pop_back();
    }
    for (char& c : out) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return out;
}

} // namespace

void Console::message(std::string_view text) {
    std::string shown = lines(text);
    m_messages.push_back(shown);
    if (m_quiet && !m_failed) {
        m_keptBack.push_back(shown);
        m_lastKept = std::move(shown);
        return;
    }
    m_errorShown = m_errorShown || m_failed;
    show(shown);
}

void Console::error(std::string_view text) {
    std::string shown = lines(text);
    m_messages.push_back(shown);
    m_errorShown = true;
    show(shown);
}

void Console::note(std::string_view text) {
    if (!m_quiet) {
        show(lines(text));
    }
}

void Console::ask(std::string_view text) {
    endStatus();
    put(lines(text));
}

void Console::endLine() {
    endStatus();
    put("\n");
}

void Console::status(std::string_view text) {
    if (m_quiet) {
        return;
    }
    if (!m_terminal) {
        put(std::string(text) + '\n');
        return;
    }
    // Back to the start of the line, the new text, the rest of the old one erased.
    m_status = text;
    put("\r" + m_status + "\033[K");
    m_statusShown = true;
}

// The status line is taken away, the lines written, and the status line
// drawn again below them.
void Console::trace(std::string_view lines) {
    if (!m_terminal || !m_statusShown) {
        put(lines);
        return;
    }
    put("\r\033[K" + std::string(lines) + m_status + "\033[K");
}

void Console::showLastKept() {
    if (m_quiet && !m_errorShown && !m_lastKept.empty()) {
        m_errorShown = true;
        show(m_lastKept);
    }
}

void Console::showKeptBack() {
    if (!m_quiet || m_errorShown || m_keptBack.empty()) {
        return;
    }
    m_errorShown = true;
    for (const std::string& text : std::exchange(m_keptBack, {})) {
        show(text);
    }
}

void Console::show(const std::string& text) {
    endStatus();
    put(text + '\n');
}

// The last status stays on screen: it is the final progress.
void Console::endStatus() {
    if (m_statusShown) {
        put("\n");
        m_statusShown = false;
    }
}

void Console::put(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}

} // namespace quill::cli
