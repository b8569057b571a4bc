// SPDX-License-Identifier: MIT
// The password read on a Unix terminal: its echo off while it is typed,
// and back on whatever happens, Ctrl+C and a closed terminal included.
#include "lock/terminalinput.h"

#include <array>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace quill::terminal {
namespace {

// The terminal as it was, for a signal that ends the program mid-prompt.
termios g_saved{};
constexpr std::array<int, 4> EndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Puts the echo back, then ends the program as the signal would have.
void restoreAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    [[maybe_unused]] const ssize_t shown =
        ::write(STDERR_FILENO, "\n", 1); // ends the prompt's line
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class EchoOff {
  public:
    EchoOff() : m_on(::tcgetattr(STDIN_FILENO, &g_saved) == 0) {
        if (m_on) {
            struct sigaction ending {};
            ending.sa_handler = restoreAndEnd;
            sigemptyset(&ending.sa_mask);
            for (size_t k = 0; k < EndingSignals.size(); ++k) {
                ::sigaction(EndingSignals[k], nullptr, &m_before[k]);
                if (m_before[k].sa_handler != SIG_IGN) { // an ignored one stays ignored
                    ::sigaction(EndingSignals[k], &ending, nullptr);
                }
            }
            termios quiet = g_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~EchoOff() {
        if (m_on) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
            for (size_t k = 0; k < EndingSignals.size(); ++k) {
                ::sigaction(EndingSignals[k], &m_before[k], nullptr);
            }
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    std::array<struct sigaction, EndingSignals.size()> m_before{};
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
