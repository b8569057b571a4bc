// SPDX-License-Identifier: MIT
// quill-devsim where there are no pseudo-terminals: only --listen.

#include "devsim/terminals.h"

#include <cstdio>

namespace quill::devsim {

int playOnTerminals(const Options&) {
    std::fputs("quill-devsim: this system has no pseudo-terminals; serve the device over the "
               "network with --listen PORT (see --help).\n",
               stderr);
    return 1;
}

void quitOnStopSignals() {}

} // namespace quill::devsim
