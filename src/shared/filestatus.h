// SPDX-License-Identifier: MIT
#pragma once
// stat() of a path held as bytes: on Unix the bytes as they are, on Windows
// UTF-8 taken to the system as UTF-16 (the runtime's stat() reads a path in
// the code page, and finds no file named with letters it lacks).

#include <string>
#include <sys/stat.h>

namespace quill {

int pathStatus(const std::string& path, struct stat* info);

} // namespace quill
