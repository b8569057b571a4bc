// SPDX-License-Identifier: MIT
#pragma once
// What a run of downloads is asked to do, whoever asks: quill-cli's command
// line or a window's settings. Nothing here is checked yet; the run checks
// all of it, and says every problem at once, before any port is touched.

#include "unitserial/serialnumber.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr int defaultIdleTimeoutSeconds = 60;
inline constexpr int maxIdleTimeoutSeconds = 86400;
inline constexpr int defaultSettleMs = 250;
inline constexpr int maxSettleMs = 60'000;

// Files that may not be what the user meant, downloaded only when asked
// for: the questions the download would ask are answered OK.
struct Risks {
    bool noEndRecord = false;     // --allow-no-end-record
    bool recordsAfterEnd = false; // --allow-records-after-end

    // The option that accepts what `question` warns of, and whether it was given.
    struct Answer {
        const char* option;
        bool accepted;
    };
    Answer answer(const std::string& question) const;
};

// A unit that goes on in a new run: a retry (the station window's F6) of
// a port whose unit did not complete. It keeps its key, counts on from its
// attempts, and keeps the numbers it drew: none is drawn again.
struct UnitCarry {
    std::string unitKey;
    int attemptsMade = 0;             // its attempts that reached the device
    std::optional<int64_t> batchUnit; // its number in the batch, once drawn
    std::string serial;               // its serial number as written, once drawn
    std::vector<uint8_t> serialBytes; // ... as it goes into the image
};

struct RunRequest {
    std::string program; // who asks: "quill-cli", "quill"; names the traces and the rows
    // Each "COMn", the path of a serial device or rfc2217://HOST:PORT;
    // several get the same file at once. None: the stored COM port.
    std::vector<std::string> ports;
    std::optional<int32_t> baud;   // none: the stored one
    std::optional<int16_t> device; // device_manual or device_tracker; none: the stored one
    std::string file;              // the hex file, bytes as given
    int idleTimeoutSeconds = defaultIdleTimeoutSeconds; // 0: no limit, as in the window
    int settleMs = defaultSettleMs; // the line settles this long before the first message
    // Asked for by name, even at the default value: a recipe that fixes
    // another refuses it rather than replacing it unsaid.
    bool idleTimeoutGiven = false, settleGiven = false;
    Risks risks;
    // The trace: on one port this file, on several a folder with one trace
    // per port named after it. Empty: none.
    std::string logPath;
    bool verbose = false;     // each device's short trace, as lines
    std::string expectSha256; // lower-case hex; empty: any file

    // The record of what was flashed.
    std::string historyUrl;      // empty: [History] URL, or this station's file
    std::string operatorName;    // empty: the login name
    bool requireHistory = false; // no download unless its row is on record
    std::string batch;           // tags the rows; each unit gets its number in it
    SerialRequest serial;        // a number of each unit's own, written into its image
    std::optional<int64_t> unit; // --repeat: the round, each device's unit number in the reports
    // By port, in the order of `ports`: the units this run goes on with.
    // Empty, or a port's key empty: a new unit.
    std::vector<UnitCarry> units;

    // A recipe ("NAME" or "NAME@VERSION") or a work order to run: what it
    // fixes (the firmware, from the history's database, and the settings)
    // replaces `file` and the settings above, and an option set otherwise
    // is refused. At most one of them.
    std::string recipe;
    std::string workOrder;
};

// "COM3" (either case) gives 3; anything else is a device path or a URL.
std::optional<int> comNumber(std::string_view port);

} // namespace quill
