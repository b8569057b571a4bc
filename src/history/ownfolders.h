// SPDX-License-Identifier: MIT
#pragma once
// Where this program keeps its own files for the user who runs it, as each
// system has it (ownfolders_unix.cpp, ownfolders_win.cpp), and what counts
// as an absolute path there; and what else of the history differs there.

#include <string>
#include <string_view>

namespace quill {

// The folder of this program's data (the history's own file, the
// journal), "quill" included: on Unix $XDG_DATA_HOME/quill, else
// ~/.local/share/quill; on Windows the application's data folder that Qt
// names (%APPDATA%\quill). Empty when the system gives none.
std::string ownDataFolder();

// The data folder as help and messages name it, with `file` in it when
// given: "$XDG_DATA_HOME/quill/FILE" on Unix (followed by its default,
// "(~/.local/share/quill/FILE)", when `withDefault`), "%APPDATA%\quill\FILE"
// on Windows.
std::string ownDataFolderShown(std::string_view file = {}, bool withDefault = false);

// The file libpq takes a PostgreSQL password from, as help names it.
const char* postgresPasswordFile();

// Why ownDataFolder() is empty, as a message says it.
const char* noOwnDataFolder();

// The folder of its state (the last download's trace): on Unix
// $XDG_STATE_HOME/quill, else ~/.local/state/quill; on Windows the data
// folder. Empty when the system gives none.
std::string ownStateFolder();

// A file path that does not depend on the current folder: /... on Unix;
// on Windows also C:\..., C:/... and \\server\share\....
bool isAbsoluteFilePath(std::string_view path);

// Whether the PostgreSQL client library of this build speaks TLS: on Unix
// the system's does; the Windows build's libpq is built without it.
bool postgresHasTls();

// What the process sets for the history before Qt starts, first thing in
// main(). On Windows: Qt's regular expressions are not compiled to machine
// code. That code runs on a stack Qt keeps per thread, and for a thread Qt
// did not start (the history's writer) frees it from another thread as the
// program ends; the PostgreSQL driver matches the server's version on the
// writer, and quill-cli died so after most downloads into PostgreSQL.
// Nothing on Unix.
void prepareHistoryProcess();

} // namespace quill
