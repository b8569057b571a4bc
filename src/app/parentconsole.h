// SPDX-License-Identifier: MIT
#pragma once
// Where quill's own output goes. On Windows quill is a program of the
// windowing subsystem, so that the Start menu entry opens no console beside
// the window; started from a console it has no standard output of its own,
// and what it prints (--version, --help, a usage error, Qt's warnings) would
// be lost. parentconsole_win.cpp attaches to the console of the program that
// started it and points the C and C++ streams at it, leaving a stream that is
// redirected (a file, a pipe) as it is; parentconsole_unix.cpp does nothing.

namespace quill {

// Called first thing in main, before anything is printed.
void useParentConsole();

} // namespace quill
