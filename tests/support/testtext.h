// SPDX-License-Identifier: MIT
#pragma once
// What the tests do with files and texts: files are bytes, held in
// strings; a text's lines and what they must say in order.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace quill::test {

using Lines = std::vector<std::string>;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

inline Lines splitLines(const std::string& text) {
    Lines out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// True when `expected` appears in `lines` in this order, other lines between.
inline ::testing::AssertionResult inOrder(const Lines& lines, const Lines& expected) {
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at] != want) {
            ++at;
        }
        if (at == lines.size()) {
            std::string all;
            for (const std::string& line : lines) {
                all += line + "\n";
            }
            return ::testing::AssertionFailure()
                   << "missing, or out of order: " << want << "\nin:\n"
                   << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

} // namespace quill::test
