// SPDX-License-Identifier: MIT
#include "qt/portscan.h"

#include <filesystem>

namespace quill {

std::map<std::string, std::string> stableLinks(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> links;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const fs::path target = fs::canonical(entry.path(), ec);
        if (!ec) {
            links.emplace(target.string(), entry.path().string());
        }
    }
    return links;
}

} // namespace quill
