// SPDX-License-Identifier: MIT
#pragma once
// The identity of a firmware file: the SHA-256 of its bytes, read in
// pieces, so that a file of any size costs little memory.

#include "history/historyerror.h"

#include <string>

namespace quill {

// The SHA-256 of the file's bytes as 64 lower-case hex digits.
HistoryResult<std::string> fileSha256(const std::string& path);

} // namespace quill
