// SPDX-License-Identifier: MIT
#pragma once
// The arguments a program was started with, after its own name, as the
// command-line reader takes them: on Unix argv's bytes as they are (a file
// name need not be UTF-8); on Windows UTF-8, from the system's UTF-16
// command line, where argv holds them in the code page, with every letter
// it lacks (a Cyrillic file name on a Western system) turned into '?'.

#include <string>
#include <vector>

namespace quill::cmdline {

std::vector<std::string> programArguments(int argc, char** argv);

} // namespace quill::cmdline
