// SPDX-License-Identifier: MIT
#pragma once
// Standard error as quill-cli's one window: the system's messages, a few
// lines of its own, and on a terminal a status line redrawn in place.

#include <cstdio>
#include <string_view>

namespace quill::cli {

class Console {
  public:
    Console(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    bool terminal() const { return m_terminal; }

    // A message in the system's words: its carriage returns become line breaks.
    void message(std::string_view text);
    // A question; the answer is typed on the same line.
    void ask(std::string_view text);
    // On a terminal, replaces the status line; otherwise a line of its own.
    void status(std::string_view text);

  private:
    void endStatus();
    void put(std::string_view text);

    std::FILE* m_out;
    bool m_terminal;
    bool m_statusShown = false;
};

} // namespace quill::cli
