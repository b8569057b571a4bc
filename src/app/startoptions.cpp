// SPDX-License-Identifier: MIT
#include "app/startoptions.h"

#include "quillversion.h"
#include "ui/uitexts.h"

namespace quill {

std::optional<std::string> startReply(std::span<const std::string_view> args) {
    for (const std::string_view arg : args) {
        if (arg == "--help") {
            return std::string(text::ProgramHelp);
        }
        if (arg == "--version") {
            return std::string(text::ProgramName) + ' ' + QuillVersion + '\n';
        }
    }
    return std::nullopt;
}

} // namespace quill
