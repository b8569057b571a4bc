// SPDX-License-Identifier: MIT
#pragma once
// The common Open file dialog CommonDialog1.

#include <optional>
#include <string>

namespace quill {

inline constexpr int cdlOFNReadOnly = 0x1;
inline constexpr int cdlOFNFileMustExist = 0x1000;

class FileDialog {
  public:
    virtual ~FileDialog() = default;
    // Entries separated by "|": description, pattern, description, pattern, ...
    virtual void setFilter(const std::string& filter) = 0;
    virtual void setFilterIndex(int index) = 0; // counted from 1
    virtual void setFlags(int flags) = 0;
    // Modal. The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> ShowOpen() = 0;
};

} // namespace quill
