// SPDX-License-Identifier: MIT
#include "shared/linesettings.h"

namespace quill {

std::string lineSettings(int32_t baud, char parity) {
    return std::to_string(baud) + ',' + parity + ",8,1";
}

} // namespace quill
