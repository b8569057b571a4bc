// SPDX-License-Identifier: MIT
#pragma once
// Where this program keeps its own files for the user who runs it, as each
// system has it (ownfolders_unix.cpp, ownfolders_win.cpp), and what counts
// as an absolute path there.

#include <string>
#include <string_view>

namespace quill {

// The folder of this program's data (the history's own file, the
// journal), "quill" included: on Unix $XDG_DATA_HOME/quill, else
// ~/.local/share/quill; on Windows the application's data folder that Qt
// names (%APPDATA%\quill). Empty when the system gives none.
std::string ownDataFolder();

// The folder of its state (the last download's trace): on Unix
// $XDG_STATE_HOME/quill, else ~/.local/state/quill; on Windows the data
// folder. Empty when the system gives none.
std::string ownStateFolder();

// A file path that does not depend on the current folder: /... on Unix;
// on Windows also C:\..., C:/... and \\server\share\....
bool isAbsoluteFilePath(std::string_view path);

} // namespace quill
