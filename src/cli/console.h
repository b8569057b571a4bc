// SPDX-License-Identifier: MIT
#pragma once
// Standard error as quill-cli's one window: the system's messages, a few
// lines of its own, on a terminal a status line redrawn in place, and the
// short trace of -v. Every message is kept for the result (--json).
//
// Quiet (-q), only errors show: messages are kept back until the download
// has failed, and what comes after that shows; a failed run that showed
// nothing shows its last message at the end. No status line, no summary.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

class Console {
  public:
    Console(std::FILE* out, bool terminal, bool quiet = false)
        : m_out(out), m_terminal(terminal), m_quiet(quiet) {}
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    bool terminal() const { return m_terminal; }
    bool quiet() const { return m_quiet; }

    // A message in the system's words: its carriage returns become line breaks.
    void message(std::string_view text);
    // A message that shows even when quiet.
    void error(std::string_view text);
    // A line of quill-cli's own about the run (the summary): no message.
    void note(std::string_view text);
    // A question; the answer is typed on the same line.
    void ask(std::string_view text);
    // Ends the line of a question that got no answer.
    void endLine();
    // On a terminal, replaces the status line; otherwise a line of its own.
    void status(std::string_view text);
    // Whole lines of the trace, written above the status line.
    void trace(std::string_view lines);

    // The download has failed: from here on every message is an error.
    void setFailed() { m_failed = true; }
    // At the end of a failed run: when quiet and nothing has shown, the
    // last message kept back.
    void showLastKept();
    // At the end of a failed run (a file refused, the prompt answered No,
    // before any device ended): when quiet and nothing has shown, every
    // message kept back, which together say why.
    void showKeptBack();

    // The messages of the run, shown or kept back, their lines joined by line breaks.
    const std::vector<std::string>& messages() const { return m_messages; }

  private:
    void show(const std::string& lines);
    void endStatus();
    void put(std::string_view text);

    std::FILE* m_out;
    bool m_terminal;
    bool m_quiet;
    bool m_failed = false;
    std::vector<std::string> m_keptBack; // quiet: the messages not shown
    bool m_errorShown = false;
    bool m_statusShown = false;
    std::string m_status;
    std::string m_lastKept;
    std::vector<std::string> m_messages;
};

} // namespace quill::cli
