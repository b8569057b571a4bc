// SPDX-License-Identifier: MIT
#pragma once
// The program's shared state: one instance, owned by the application and
// passed by reference, so that every test starts from a fresh one.

#include "shared/hextable.h"

#include <array>
#include <cstdint>
#include <string>

namespace quill {

// The download state cstate.
inline constexpr int16_t cs_off = 0;
inline constexpr int16_t cs_flash_erase = 1;
inline constexpr int16_t cs_program_ready = 2;
inline constexpr int16_t cs_programming = 3;
inline constexpr int16_t cs_record_download = 4;
inline constexpr int16_t cs_after_xoff = 5;
inline constexpr int16_t cs_tracker_select = 7;
inline constexpr int16_t cs_tracker_prog = 8;
inline constexpr int16_t cs_tracker_reboot = 9;
inline constexpr int16_t cs_file_done = 10;

// Device options (device_type).
inline constexpr int16_t device_manual = 0;
inline constexpr int16_t device_tracker = 1;

struct Module1 {
    int16_t cstate = cs_off;

    int16_t com_port = 0;  // 0 = not set; 1..4 usable
    int32_t baud_rate = 0; // 0 = not set; 9600 or 38400 usable
    int16_t device_type = device_manual;

    std::string hex_file_name;
    bool hex_file_open = false;
    int32_t file_len = 0;
    int32_t file_pos = 0;

    bool TrackerACK = false;
    std::array<uint8_t, 8> tracker_data{};

    std::array<bool, 17> port_present{}; // indexed 1..16; only 1..4 are ever set
    std::string com_settings;

    // Our own: a download has begun and its end has not been told yet, and
    // how many have begun, so that a routine back from a modal box can tell
    // that its download was ended meanwhile (see download/downloadend.h).
    bool download_running = false;
    uint32_t download_count = 0;

    // Built by init_hex_table at start-up; a fresh Module1 already holds it.
    HexTable hex_table = makeHexTable();
};

} // namespace quill
