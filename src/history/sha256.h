// SPDX-License-Identifier: MIT
#pragma once
// The identity of a firmware file: the SHA-256 of its bytes and their
// count, from one reading in pieces, so that a file of any size costs
// little memory.

#include "history/historyerror.h"

#include <cstdint>
#include <string>

namespace quill {

struct FileIdentity {
    int64_t size = 0;
    std::string sha256; // 64 lower-case hex digits
};

HistoryResult<FileIdentity> fileIdentity(const std::string& path);

// The SHA-256 of the file's bytes as 64 lower-case hex digits.
HistoryResult<std::string> fileSha256(const std::string& path);

// How the firmware is named wherever it is shown: "PATH: N bytes, SHA-256 HEX".
std::string firmwareLine(const std::string& path, const FileIdentity& identity);

} // namespace quill
