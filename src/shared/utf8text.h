// SPDX-License-Identifier: MIT
#pragma once
// Texts that are bytes (file and device names need not be UTF-8), written
// where UTF-8 is required: what is valid UTF-8 is kept as it stands, and
// every byte that is not part of valid UTF-8 is written as an escape of
// that byte, so nothing is lost and the byte can still be read off it.

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

// The length of the well-formed UTF-8 sequence of more than one byte at
// `at`, or 0: no overlong forms, no surrogates, nothing above U+10FFFF.
size_t utf8SequenceLength(std::string_view bytes, size_t at);

// `bytes` as a JSON string, quotes included; a byte that is not part of
// valid UTF-8 becomes \u00XX.
std::string jsonString(std::string_view bytes);
// The same, appended to `out`.
void appendJsonString(std::string& out, std::string_view bytes);

// `bytes` as valid UTF-8 text without NUL: a byte that is not part of valid
// UTF-8, and NUL, becomes the four characters \xNN.
std::string utf8Text(std::string_view bytes);

} // namespace quill
