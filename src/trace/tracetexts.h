// SPDX-License-Identifier: MIT
#pragma once
// Texts of the wire trace, exactly as the user sees them.

namespace quill::text {

// A trace could not be written (followed by the file's path and the
// reason); the download is not disturbed.
inline constexpr const char* TraceNotWritten = "The download trace could not be written to ";
inline constexpr const char* TraceGoesOn = "; the download goes on without it.";
// The reason, when the window's own trace file is a symbolic link.
inline constexpr const char* TraceIsLink =
    "it is a symbolic link: Quill writes its files only where it made them";

} // namespace quill::text
