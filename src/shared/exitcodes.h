// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's exit codes: one for each way a run can end. --help lists
// them from the table below.

#include <array>

namespace quill {

enum class ExitCode : int {
    Complete = 0,         // "Download complete"
    Failure = 1,          // an end not listed here
    Usage = 2,            // bad command line, no usable port or baud rate, no way to answer
    FileError = 3,        // the hex file could not be opened, read or closed
    BadRecord = 4,        // not whole firmware (refused, nothing sent), or the file changed
    PortError = 5,        // the port could not be set up or opened, failed, or went away;
                          // --check-port: the adapter cannot do what a download needs
    NoEraseAnswer = 6,    // the device did not answer the erase request
    TrackerHandshake = 7, // the Tracker handshake failed and the download did not complete
    IdleTimeout = 8,      // --idle-timeout: the device fell silent during the download
    Cancelled = 9,        // the Manual prompt was answered no
    DevicesDiffer = 10,   // several ports: the devices that failed did not all fail alike
    HistoryFailed = 11,   // the history could not be written (--require-history) or read
    EventsFailed = 12,    // --events: the broker could not be reached; nothing was started
    OrderComplete = 13,   // the work order had no place left (or is closed): nothing was sent
    Interrupted = 130,    // SIGINT; SIGTERM ends with 143 (128 + the signal's number)
};

constexpr int toInt(ExitCode code) {
    return static_cast<int>(code);
}

struct ExitCodeInfo {
    ExitCode code;
    const char* meaning;
};

inline constexpr std::array<ExitCodeInfo, 15> exitCodeTable{{
    {ExitCode::Complete, "download complete"},
    {ExitCode::Failure, "other failure"},
    {ExitCode::Usage, "usage: bad option, no usable port or baud rate, prompt without a terminal"},
    {ExitCode::FileError, "the hex file could not be opened, read or closed"},
    {ExitCode::BadRecord, "not whole firmware: a bad record, no records, no end record or "
                          "records after it (nothing was sent), or the file changed during "
                          "the download"},
    {ExitCode::PortError, "the serial port could not be opened or configured, failed or was lost; "
                          "--check-port: the adapter failed the check"},
    {ExitCode::NoEraseAnswer, "no response on the erase flash request"},
    {ExitCode::TrackerHandshake, "the Tracker handshake failed and the download did not complete"},
    {ExitCode::IdleTimeout, "no record released by the device for --idle-timeout seconds"},
    {ExitCode::Cancelled, "the Manual prompt was answered no"},
    {ExitCode::DevicesDiffer, "several ports: the devices that failed ended in different ways "
                              "(when they all failed alike, the code is theirs)"},
    {ExitCode::HistoryFailed, "history could not be written (--require-history: nothing was "
                              "sent), or read (--history)"},
    {ExitCode::EventsFailed, "events could not be published: the broker named by --events could "
                             "not be reached (nothing was sent)"},
    {ExitCode::OrderComplete, "the work order named by --work-order has all its units, or is "
                              "closed: the device heard nothing"},
    {ExitCode::Interrupted, "interrupted by SIGINT (Ctrl+C); 143 when by SIGTERM"},
}};

// The status a run ends with: an interrupted run reports the signal that
// stopped it, the way shells report a process killed by it.
constexpr int exitStatus(ExitCode code, int signal) {
    return code == ExitCode::Interrupted && signal > 0 ? 128 + signal : toInt(code);
}

} // namespace quill
