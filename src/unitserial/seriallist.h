// SPDX-License-Identifier: MIT
#pragma once
// A list of values a user names, one line for each unit, read whole before
// any port is touched: every line must be a value in the number's form, and
// no two lines the same value, or no unit gets one.

#include "unitserial/serialnumber.h"

#include <string>
#include <vector>

namespace quill {

// Lists are a few lines per unit of a batch; anything larger is some other file.
inline constexpr size_t maxSerialListBytes = size_t{16} << 20;

struct SerialList {
    std::vector<std::string> lines; // one for each unit, as they stand in the file
    std::string sha256;             // of the file's bytes: the list's series
    std::string problem;            // why the list cannot be used; empty: it can
};

// Opened without blocking and read only when it is a regular file of at
// most maxSerialListBytes: a FIFO without a writer or /dev/zero never hold
// up a run.
SerialList readSerialList(const std::string& path, size_t size, SerialFormat format);

} // namespace quill
