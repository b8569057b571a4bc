// SPDX-License-Identifier: MIT
#pragma once
// The two requests quill answers on its terminal instead of opening a
// window: --help and --version. They are answered before the application
// object exists, so they work without a display (help2man runs them at
// build time). Everything else on the command line is the window's
// ("/p N").

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quill {

// The text to print for the first "--help" or "--version" among args (the
// arguments after the program's name), or nothing when there is neither.
std::optional<std::string> startReply(std::span<const std::string_view> args);

} // namespace quill
