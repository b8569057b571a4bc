// SPDX-License-Identifier: MIT
#pragma once
// The file --events names, opened without ever blocking: a regular file
// made afresh (emptied when it was there), or a FIFO whose reader is there
// or comes within a short while. A FIFO that nobody reads would otherwise
// hold quill-cli in open() before any port, where no signal ends it.

#include <cstdio>
#include <functional>
#include <string>

namespace quill::events {

// How long a FIFO's reader is awaited, and how often it is looked for.
inline constexpr int fifoReaderWaitMs = 2000;
inline constexpr int fifoReaderPollMs = 50;

// The file open for writing, or null with the problem in words. Folders,
// devices and sockets are refused without being opened. `stopped` is asked
// between the looks for a FIFO's reader: true ends the wait.
std::FILE* openEventsFile(const std::string& path, const std::function<bool()>& stopped,
                          std::string& problem);

} // namespace quill::events
