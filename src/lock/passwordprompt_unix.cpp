// SPDX-License-Identifier: MIT
// The password read on a Unix terminal: its echo off while it is typed,
// and back on whatever happens.
#include "lock/passwordprompt.h"

#include "lock/locktexts.h"
#include "lock/unlockhash.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>

namespace quill {
namespace {

namespace locktext = lock::text;

// One line without its end (a CR too, from a file written on Windows).
std::optional<std::string> readLine() {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

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

std::optional<std::string> prompted(const char* prompt, std::FILE* err) {
    std::fputs(prompt, err);
    std::fflush(err);
    std::optional<std::string> line;
    {
        const EchoOff quiet;
        line = readLine();
    }
    std::fputs("\n", err); // the Enter that was not echoed
    return line;
}

} // namespace

ExitCode printUnlockHash(std::FILE* out, std::FILE* err) {
    std::optional<std::string> password;
    if (::isatty(STDIN_FILENO) != 0) {
        password = prompted(locktext::PasswordPrompt, err);
        if (password && !password->empty() && prompted(locktext::PasswordAgain, err) != password) {
            std::fprintf(err, "%s\n", locktext::PasswordsDiffer);
            return ExitCode::Usage;
        }
    } else {
        password = readLine();
    }
    if (!password || password->empty()) {
        std::fprintf(err, "%s\n", locktext::PasswordEmpty);
        return ExitCode::Usage;
    }
    const auto line = makeUnlockHash(*password);
    if (!line) {
        std::fprintf(err, "%s\n", locktext::HashFailed);
        return ExitCode::Failure;
    }
    std::fprintf(out, "%s%s\n", locktext::HashKey, line->c_str());
    return ExitCode::Complete;
}

} // namespace quill
