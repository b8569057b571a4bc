// SPDX-License-Identifier: MIT
#pragma once
// The serial control's line configuration text, e.g. "9600,M,8,1": baud
// rate, parity letter, data bits and stop bits. Pure: no Qt, no system calls.

#include "platform/mscomm.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

// In the order of the letters N E O M S.
enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

struct LineConfig {
    int32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8; // 5 to 8
    StopBits stopBits = StopBits::One;

    bool operator==(const LineConfig&) const = default;
};

inline constexpr int32_t maxBaudRate = 4'000'000;

// Parses "baud,parity,data,stop": parity one of N E O M S (either case), data
// bits 5 to 8, stop bits 1, 1.5 or 2, baud 1 to maxBaudRate. No blanks, no
// parts missing or added. Empty when the text is not such a configuration.
std::optional<LineConfig> parseLineConfig(std::string_view text);

// What a driver did not do of a line configuration asked of it.
struct LineProblem {
    std::string setting;     // what was not applied, e.g. "mark parity"; empty with systemError
    std::string systemError; // the system's words when the driver refused the change outright
};

// The serial control's error for a text parseLineConfig refuses.
PortError badLineConfig(const std::string& text);

// "none", "even", "odd", "mark", "space": for messages.
std::string_view parityName(Parity parity);

} // namespace quill
