// SPDX-License-Identifier: MIT
#include "shared/filestatus.h"

namespace quill {

int pathStatus(const std::string& path, struct stat* info) {
    return ::stat(path.c_str(), info);
}

} // namespace quill
