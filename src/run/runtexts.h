// SPDX-License-Identifier: MIT
#pragma once
// Texts of a headless run's own, beside the download's messages.

namespace quill::text {

// The Manual prompt was answered no.
inline constexpr const char* NotStarted = "Download not started.";

// "The device released no record for " N " s.", then the download's "Download stopped.".
inline constexpr const char* IdlePrefix = "The device released no record for ";
inline constexpr const char* IdleSuffix = " s.";

// The port went away after "Download complete", before the device answered
// the last record.
inline constexpr const char* LostBeforeLastAnswer =
    "The port was lost before the device answered the last record: the download may be "
    "incomplete. Check the connection and download again.";

inline constexpr const char* CompletedAfterTrackerError =
    "The Tracker handshake reported an error, but the download completed.";

} // namespace quill::text
