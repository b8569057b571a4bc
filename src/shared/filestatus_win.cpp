// SPDX-License-Identifier: MIT
#include "shared/filestatus.h"

namespace quill {

int pathStatus(const std::string& path, struct stat* info) {
    return posixwin::statUtf8(path.c_str(), info); // platform/posix_win.h
}

} // namespace quill
