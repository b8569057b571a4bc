// SPDX-License-Identifier: MIT
// fromconsole PROGRAM [ARG...]: starts a program from this console as
// Windows starts a windowing program from one, with no standard handles, and
// prints what the program wrote into the console; ends with its exit code.
// It shows that quill.exe finds the console it was started from
// (src/app/parentconsole_win.cpp). Needs a console: under Wine, a terminal.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO before{};
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &before)) {
        std::fputs("fromconsole: no console (run it in a terminal)\n", stderr);
        return 125;
    }
    // The command line less this program's name, as the system parses it.
    std::wstring line = GetCommandLineW();
    const bool quoted = line.starts_with(L'"');
    const auto end = quoted ? line.find(L'"', 1) : line.find(L' ');
    line = end == std::wstring::npos ? std::wstring() : line.substr(end + 1);
    line.erase(0, line.find_first_not_of(L' '));

    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES; // all three null
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                        &process)) {
        std::fprintf(stderr, "fromconsole: cannot start the program (error %lu)\n", GetLastError());
        return 125;
    }
    DWORD status = 124;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    }
    CONSOLE_SCREEN_BUFFER_INFO after{};
    GetConsoleScreenBufferInfo(console, &after);
    for (SHORT y = before.dwCursorPosition.Y; y <= after.dwCursorPosition.Y; ++y) {
        std::string text(static_cast<size_t>(after.dwSize.X), ' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterA(console, text.data(), static_cast<DWORD>(text.size()), {0, y},
                                    &read);
        text.resize(text.find_last_not_of(' ') + 1);
        std::printf("%s\n", text.c_str());
    }
    return static_cast<int>(status);
}
