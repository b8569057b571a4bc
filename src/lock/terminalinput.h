// SPDX-License-Identifier: MIT
#pragma once
// What the password prompt asks of the terminal, one file per system
// (passwordprompt_unix.cpp, passwordprompt_win.cpp).

#include <optional>
#include <string>

namespace quill::terminal {

// Whether standard input is a terminal (a console on Windows) rather than
// a file or a pipe.
bool inputIsTerminal();

// One line typed on the terminal without echo, the echo back as it was
// whatever happens; UTF-8, without its end. None at the end of input.
std::optional<std::string> readLineQuietly();

// One line of standard input's bytes as they stand, without its end (a CR
// too, from a file written on Windows). None at the end of input.
std::optional<std::string> readInputLine();

} // namespace quill::terminal
