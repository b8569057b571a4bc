// SPDX-License-Identifier: MIT
#include "qt/lineconfig.h"

#include <array>
#include <charconv>

namespace quill {
namespace {

// Splits at commas; empty when the count of parts is not exactly N.
template <std::size_t N>
std::optional<std::array<std::string_view, N>> splitExactly(std::string_view text) {
    std::array<std::string_view, N> parts;
    for (std::size_t i = 0; i < N; ++i) {
        const auto comma = text.find(',');
        const bool last = i + 1 == N;
        if (last != (comma == std::string_view::npos)) {
            return std::nullopt;
        }
        parts[i] = text.substr(0, comma);
        text = last ? std::string_view{} : text.substr(comma + 1);
    }
    return parts;
}

std::optional<int32_t> parseBaud(std::string_view part) {
    int32_t value = 0;
    const char* end = part.data() + part.size();
    const auto [ptr, ec] = std::from_chars(part.data(), end, value);
    // from_chars accepts a leading minus; the range check rejects it.
    if (part.empty() || ec != std::errc{} || ptr != end || value < 1 || value > maxBaudRate) {
        return std::nullopt;
    }
    return value;
}

// Parity letters in the order of enum Parity.
constexpr std::string_view parityLetters = "NEOMS";

std::optional<Parity> parseParity(std::string_view part) {
    if (part.size() != 1) {
        return std::nullopt;
    }
    const char upper =
        part[0] >= 'a' && part[0] <= 'z' ? static_cast<char>(part[0] - 'a' + 'A') : part[0];
    const auto index = parityLetters.find(upper);
    if (index == std::string_view::npos) {
        return std::nullopt;
    }
    return static_cast<Parity>(index);
}

std::optional<int> parseDataBits(std::string_view part) {
    if (part.size() != 1 || part[0] < '5' || part[0] > '8') {
        return std::nullopt;
    }
    return part[0] - '0';
}

std::optional<StopBits> parseStopBits(std::string_view part) {
    if (part == "1") {
        return StopBits::One;
    }
    if (part == "1.5") {
        return StopBits::OneAndHalf;
    }
    if (part == "2") {
        return StopBits::Two;
    }
    return std::nullopt;
}

} // namespace

std::optional<LineConfig> parseLineConfig(std::string_view text) {
    const auto parts = splitExactly<4>(text);
    if (!parts) {
        return std::nullopt;
    }
    const auto baud = parseBaud((*parts)[0]);
    const auto parity = parseParity((*parts)[1]);
    const auto dataBits = parseDataBits((*parts)[2]);
    const auto stopBits = parseStopBits((*parts)[3]);
    if (!baud || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineConfig{*baud, *parity, *dataBits, *stopBits};
}

PortError badLineConfig(const std::string& text) {
    return {PortErrorKind::BadSettings,
            "The line configuration \"" + text + "\" is not valid (expected e.g. 9600,M,8,1)."};
}

std::string_view parityName(Parity parity) {
    static constexpr std::array<std::string_view, 5> names{"none", "even", "odd", "mark", "space"};
    return names.at(static_cast<std::size_t>(parity));
}

} // namespace quill
