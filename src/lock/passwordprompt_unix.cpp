// SPDX-License-Identifier: MIT
// The password read on a Unix terminal: its echo off while it is typed,
// and back on whatever happens.
#include "lock/terminalinput.h"

#include <termios.h>
#include <unistd.h>

namespace quill::terminal {
namespace {

class EchoOff {
  public:
    EchoOff() : m_on(::tcgetattr(STDIN_FILENO, &m_saved) == 0) {
        if (m_on) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~EchoOff() {
        if (m_on) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    termios m_saved{};
    bool m_on;
};

} // namespace

bool inputIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

std::optional<std::string> readLineQuietly() {
    const EchoOff quiet;
    return readInputLine();
}

} // namespace quill::terminal
