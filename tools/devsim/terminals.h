// SPDX-License-Identifier: MIT
#pragma once
// The parts of quill-devsim that differ per system, one file per system
// chosen by the build: pseudo-terminals (Linux only), and how a stop
// request reaches the network server's event loop.

#include "devsim/options.h"

namespace quill::devsim {

// Plays the devices on pseudo-terminals until a signal, or until each has
// ended; returns the exit code. Where there are none, says so and returns 1.
int playOnTerminals(const Options& options);

// SIGINT and SIGTERM end the running QCoreApplication's event loop (with
// the image written after it) rather than the process. Where there are no
// such signals the system's default stays: the image is also written on
// each end of file and each disconnect.
void quitOnStopSignals();

} // namespace quill::devsim
