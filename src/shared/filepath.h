// SPDX-License-Identifier: MIT
#pragma once
// A file name held as bytes, as std::filesystem takes it: on Unix the bytes
// as they are; on Windows UTF-8, the way Qt and the command line give it
// there (a plain std::string would be read in the system's code page, and a
// folder named with letters it lacks made under another name).

#include <exception>
#include <filesystem>
#include <string>

namespace quill {

// Bytes that are not UTF-8 (a name in the code page) are taken as the
// system takes a plain std::string; what no conversion takes is no path.
inline std::filesystem::path filePath(const std::string& bytes) {
    try {
        return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
    } catch (const std::exception&) {
    }
    try {
        return std::filesystem::path(bytes);
    } catch (const std::exception&) {
    }
    return {};
}

} // namespace quill
