// SPDX-License-Identifier: MIT
#pragma once
// Plain references the fuzz targets hold the code against: written for
// clarity, not speed, and sharing nothing with the code they check.

#include <string>
#include <string_view>
#include <vector>

namespace quill::fuzz {

// The lines of a file's bytes: a line ends at CR LF, at a lone CR or at a
// lone LF, and the terminator is not part of it; a last line without a
// terminator is a line too; an empty file has none.
inline std::vector<std::string> splitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false; // characters (or nothing) since the last terminator
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += c;
            open = true;
        }
    }
    if (open) {
        lines.push_back(current);
    }
    return lines;
}

// The value of a hex digit character, or -1.
inline int hexValue(char c) {
    const std::string_view digits = "0123456789abcdef";
    const char lower = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    const size_t at = digits.find(lower);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

} // namespace quill::fuzz
