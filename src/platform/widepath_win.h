// SPDX-License-Identifier: MIT
#pragma once
// A path of the portable code, held as UTF-8, as Windows' wide calls take it.

#include <string>

namespace quill::posixwin {

// `path` as UTF-16, or empty when it is not valid UTF-8 (or is empty): the
// caller then passes the bytes to the narrow call, as the code page reads them.
std::wstring wide(const char* path);

} // namespace quill::posixwin
