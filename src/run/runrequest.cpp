// SPDX-License-Identifier: MIT
#include "run/runrequest.h"

#include "hexfile/hexfiletexts.h"

namespace quill {

Risks::Answer Risks::answer(const std::string& question) const {
    if (question == text::RecordsAfterEnd) {
        return {"--allow-records-after-end", recordsAfterEnd};
    }
    return {"--allow-no-end-record", noEndRecord};
}

std::optional<int> comNumber(std::string_view port) {
    if (port.size() < 4 || port.size() > 6) {
        return std::nullopt;
    }
    for (size_t i = 0; i < 3; ++i) {
        if ((port[i] & ~0x20) != "COM"[i]) {
            return std::nullopt;
        }
    }
    int n = 0;
    for (const char c : port.substr(3)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        n = 10 * n + (c - '0');
    }
    return n >= 1 && n <= 255 ? std::optional<int>(n) : std::nullopt;
}

} // namespace quill
