// SPDX-License-Identifier: MIT
#include "cli/console.h"

#include <string>

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
    endStatus();
    put(lines(text) + '\n');
}

void Console::ask(std::string_view text) {
    endStatus();
    put(lines(text));
}

void Console::status(std::string_view text) {
    if (!m_terminal) {
        put(std::string(text) + '\n');
        return;
    }
    // Back to the start of the line, the new text, the rest of the old one erased.
    put("\r" + std::string(text) + "\033[K");
    m_statusShown = true;
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
