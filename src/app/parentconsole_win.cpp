// SPDX-License-Identifier: MIT
// quill.exe's standard streams when it is started from a console (see
// parentconsole.h). A program of the windowing subsystem that Windows starts
// from a console gets no standard handles unless they were redirected; the
// streams without a handle are pointed at the parent's console.
#include "app/parentconsole.h"

#include <QByteArray>
#include <QtGlobal>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

namespace quill {

namespace {

bool hasHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Points `stream` (descriptor `fd`) and the standard handle `which` at the
// console. msvcrt gives a stream that had no handle at start no descriptor,
// and some of its builds (Wine's) refuse to freopen such a stream; then the
// console's descriptor is put in place by hand, as freopen would have.
void toConsole(std::FILE* stream, int fd, DWORD which) {
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return;
    }
    SetStdHandle(which, console);
    if (std::freopen("CONOUT$", "w", stream) != nullptr) {
        return;
    }
    const int consoleFd = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_TEXT);
    if (consoleFd >= 0 && _dup2(consoleFd, fd) == 0) {
        stream->_file = fd;
    }
}

} // namespace

void useParentConsole() {
    const bool out = hasHandle(STD_OUTPUT_HANDLE);
    const bool err = hasHandle(STD_ERROR_HANDLE);
    // A redirected stream is left where it goes; with both redirected there
    // is nothing to attach. Started from Explorer there is no parent console,
    // and nothing is shown of what is printed, as before.
    if (!(out && err)) {
        // Fails with ERROR_ACCESS_DENIED when the program has a console
        // already (Wine gives one to every program it starts from a terminal).
        if (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED) {
            if (!out) {
                toConsole(stdout, 1, STD_OUTPUT_HANDLE);
            }
            if (!err) {
                toConsole(stderr, 2, STD_ERROR_HANDLE);
            }
            std::cout.clear();
            std::cerr.clear();
            std::clog.clear();
        }
    }
    // Qt writes its warnings to stderr only when it sees a console window;
    // without one they go to the debugger. A stderr that leads somewhere
    // (a console, a redirection) gets them.
    if (hasHandle(STD_ERROR_HANDLE) && GetConsoleWindow() == nullptr &&
        !qEnvironmentVariableIsSet("QT_FORCE_STDERR_LOGGING")) {
        qputenv("QT_FORCE_STDERR_LOGGING", QByteArrayLiteral("1"));
    }
}

} // namespace quill
