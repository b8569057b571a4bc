// SPDX-License-Identifier: MIT
#include "qt/devicegroup.h"

#include "port/porttexts.h"

#include <grp.h>
#include <sys/stat.h>
#include <vector>

namespace quill {

std::string deviceGroup(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->gr_name == nullptr) {
        return {};
    }
    return found->gr_name;
}

std::string permissionText(const std::string& port, const std::string& group) {
    std::string message = text::PermissionPrefix + port + text::PermissionDenied;
    if (group.empty() || group == "root") {
        return message + '\r' + text::PermissionAskForAccess;
    }
    return message + '\r' + text::PermissionGroupPrefix + group + text::PermissionGroupMiddle +
           group + text::PermissionGroupSuffix;
}

} // namespace quill
