// SPDX-License-Identifier: MIT
#pragma once
// The Tracker's command frames and the line settings of the rebooted device.

#include "platform/mscomm.h"
#include "shared/linesettings.h"
#include "shared/module1.h"

#include <cstdint>
#include <vector>

namespace quill {

inline constexpr uint8_t XON = 0x11;
inline constexpr uint8_t XOFF = 0x13;
inline constexpr uint8_t ACK = 0x04;
inline constexpr uint8_t NAK = 0x05;

// Frame header and commands of the Tracker.
inline constexpr uint8_t tracker_header_a = 0x0F;
inline constexpr uint8_t tracker_header_b = 0x00;
inline constexpr uint8_t tracker_cmd_select = 0x21;   // "!"
inline constexpr uint8_t tracker_cmd_program = 0x23;  // "#"
inline constexpr uint8_t tracker_program_data = 0x38; // "8"

// 02, n + 3, A, B, C, n data bytes, checksum, 00: n + 7 bytes. The checksum
// makes the bytes from the length through the checksum add up to 0 mod 256.
// `n` must not exceed 252.
void build_packet(std::vector<uint8_t>& result, uint8_t a, uint8_t b, uint8_t c, uint8_t n,
                  const uint8_t* data);

// The rebooted Tracker talks at mark parity; the port stays open.
PortStatus set_mark_parity(const Module1& m, MSComm& port);

} // namespace quill
