// SPDX-License-Identifier: MIT
// The command line as Windows keeps it, in UTF-16, split as the C runtime
// splits it for argv, each argument in UTF-8.
#include "cmdline/programarguments.h"

#include <windows.h>

#include <shellapi.h>

namespace quill::cmdline {

namespace {

std::string utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(length - 1));
    return bytes;
}

} // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        // The system's split differs from the runtime's: argv, as it is.
        if (wide != nullptr) {
            LocalFree(wide);
        }
        return {argv + (argc > 0 ? 1 : 0), argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(utf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace quill::cmdline
