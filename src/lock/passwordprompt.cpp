// SPDX-License-Identifier: MIT
// quill-cli --lock-password-hash: the password asked twice on a terminal,
// or read once from a script, and the line for the system file printed.
#include "lock/passwordprompt.h"

#include "lock/locktexts.h"
#include "lock/terminalinput.h"
#include "lock/unlockhash.h"

#include <iostream>
#include <optional>
#include <string>

namespace quill {
namespace terminal {

std::optional<std::string> readInputLine() {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace terminal

namespace {

namespace locktext = lock::text;

std::optional<std::string> prompted(const char* prompt, std::FILE* err) {
    std::fputs(prompt, err);
    std::fflush(err);
    const std::optional<std::string> line = terminal::readLineQuietly();
    std::fputs("\n", err); // the Enter that was not echoed
    return line;
}

} // namespace

ExitCode printUnlockHash(std::FILE* out, std::FILE* err) {
    std::optional<std::string> password;
    if (terminal::inputIsTerminal()) {
        password = prompted(locktext::PasswordPrompt, err);
        if (password && !password->empty() && prompted(locktext::PasswordAgain, err) != password) {
            std::fprintf(err, "%s\n", locktext::PasswordsDiffer);
            return ExitCode::Usage;
        }
    } else {
        password = terminal::readInputLine();
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
