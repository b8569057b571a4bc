// SPDX-License-Identifier: MIT
#pragma once
// The file operations of the journal and the trace on a path held as
// bytes: on Unix the bytes as they are, on Windows UTF-8 taken to the
// system as UTF-16 (the runtime's narrow calls read a path in the code
// page, and find no file named with letters it lacks). Each sets errno
// when it fails.

#include <cstdio>
#include <string>
#include <vector>

namespace quill {

// Renames `from` to `to`, replacing a file of that name. With `durably`
// the new name is on the disk when it returns: the folder is flushed on
// Unix, the move written through on Windows.
bool renameFile(const std::string& from, const std::string& to, bool durably);

// Removes a file. Windows removes no file that is open.
bool removeFile(const std::string& path);

// Removes an empty folder.
bool removeFolder(const std::string& path);

// The names in a folder, without "." and ".."; none when it cannot be read.
std::vector<std::string> folderNames(const std::string& folder);

// std::fopen.
std::FILE* openFile(const std::string& path, const char* mode);

} // namespace quill
