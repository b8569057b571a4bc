// SPDX-License-Identifier: MIT
#include "cmdline/programarguments.h"

namespace quill::cmdline {

std::vector<std::string> programArguments(int argc, char** argv) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

} // namespace quill::cmdline
