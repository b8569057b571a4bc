// SPDX-License-Identifier: MIT
// The password read on a Windows console: its echo off while it is typed,
// and back on whatever happens. The console gives UTF-16, made UTF-8 here
// so that a password typed on Windows derives the same hash as on Linux,
// whatever the console's code page.
#include "lock/terminalinput.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace quill::terminal {
namespace {

class EchoOff {
  public:
    explicit EchoOff(HANDLE console) : m_console(console) {
        if (GetConsoleMode(m_console, &m_saved) != 0) {
            m_on = true;
            SetConsoleMode(m_console, (m_saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                          ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        }
    }
    ~EchoOff() {
        if (m_on) {
            SetConsoleMode(m_console, m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    HANDLE m_console;
    DWORD m_saved = 0;
    bool m_on = false;
};

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

} // namespace

bool inputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::optional<std::string> readLineQuietly() {
    const HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
    const EchoOff quiet(console);
    std::wstring line;
    for (;;) {
        wchar_t piece[256];
        DWORD read = 0;
        if (ReadConsoleW(console, piece, 256, &read, nullptr) == 0 || read == 0) {
            if (line.empty()) {
                return std::nullopt;
            }
            break;
        }
        line.append(piece, read);
        if (line.find(L'\n') != std::wstring::npos) {
            break;
        }
    }
    line.erase(std::min(line.find_first_of(L"\r\n"), line.size()));
    return utf8(line);
}

} // namespace quill::terminal
