// SPDX-License-Identifier: MIT
#pragma once
// The line configuration text of the serial control: the decimal baud rate,
// then ",M,8,1" (mark parity) or ",E,8,1" (even parity).

#include <cstdint>
#include <string>

namespace quill {

std::string lineSettings(int32_t baud, char parity);

} // namespace quill
