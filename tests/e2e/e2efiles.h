// SPDX-License-Identifier: MIT
#pragma once
// What every end-to-end test does with files and output: files are bytes,
// held in strings.

#include <fstream>
#include <iterator>
#include <string>

namespace quill::e2e {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

} // namespace quill::e2e
