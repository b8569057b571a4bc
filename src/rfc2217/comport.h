// SPDX-License-Identifier: MIT
#pragma once
// The vocabulary of a serial port reached over Telnet: the Telnet commands
// and options the client uses, and the serial port control option's
// commands with the values of the settings this program asks for.

#include <cstdint>
#include <vector>

namespace quill::rfc2217 {

// Telnet commands.
inline constexpr uint8_t IAC = 255;
inline constexpr uint8_t DONT = 254;
inline constexpr uint8_t DO = 253;
inline constexpr uint8_t WONT = 252;
inline constexpr uint8_t WILL = 251;
inline constexpr uint8_t SB = 250;
inline constexpr uint8_t SE = 240;

// Telnet options.
inline constexpr uint8_t optionBinary = 0;
inline constexpr uint8_t optionEcho = 1;
inline constexpr uint8_t optionSuppressGoAhead = 3;
inline constexpr uint8_t optionComPort = 44;

// The client's commands of the serial port control option; the server
// answers each with the same command plus serverOffset.
enum class Command : uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr uint8_t serverOffset = 100;

// Values of SetParity.
inline constexpr uint8_t parityNone = 1;
inline constexpr uint8_t parityOdd = 2;
inline constexpr uint8_t parityEven = 3;
inline constexpr uint8_t parityMark = 4;
inline constexpr uint8_t paritySpace = 5;

// Values of SetStopSize.
inline constexpr uint8_t stopOne = 1;
inline constexpr uint8_t stopTwo = 2;
inline constexpr uint8_t stopOneAndHalf = 3;

// Values of SetControl: no flow control, outgoing (and both) and incoming.
inline constexpr uint8_t controlNoFlowOut = 1;
inline constexpr uint8_t controlSoftwareFlowOut = 2;
inline constexpr uint8_t controlHardwareFlowOut = 3;
inline constexpr uint8_t controlNoFlowIn = 14;
inline constexpr uint8_t controlSoftwareFlowIn = 15;
inline constexpr uint8_t controlHardwareFlowIn = 16;

// Value of PurgeData: the server's receive buffer.
inline constexpr uint8_t purgeReceive = 1;

// The four bytes of a baud rate, most significant first.
inline std::vector<uint8_t> baudValue(uint32_t baud) {
    return {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
            static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
}

} // namespace quill::rfc2217
