// SPDX-License-Identifier: MIT
#pragma once
// The download's own texts, exactly as the user sees them. "\r" joins the
// lines of one message.

namespace quill::text {

inline constexpr const char* FileMustBeSelected = "A file must be selected for download";
inline constexpr const char* PrepareDevice = "Prepare device for download at ";
inline constexpr const char* NoEraseResponse =
    "No response on erase flash request.\r"
    "Device may not be ready for download or port settings may be incorrect.\r"
    "Check setup then retry download.";
inline constexpr const char* ErasingFlash = "Erasing Flash ...";
inline constexpr const char* ProgrammingFlash = "Programming Flash ...";

// Tracker handshake, shown in the wait dialog.
inline constexpr const char* TrackerResponseError =
    "Tracker response error. \rCheck setup and try again";
inline constexpr const char* TrackerResponseUnknown =
    "Tracker response unknown. \rCheck setup and try again";
inline constexpr const char* TrackerNakReboot =
    "Tracker NAK reboot error. \rCheck setup and try again";
inline constexpr const char* TrackerRebootUnknown =
    "Tracker reboot response unknown. \rCheck setup and try again";
inline constexpr const char* TrackerNoSelectAnswer =
    "Tracker did not respond to select request\rCheck setup and try again";
inline constexpr const char* TrackerNoProgramAnswer =
    "Tracker did not respond to program request.\r Try again.";
inline constexpr const char* TrackerNoRebootAnswer =
    "Tracker did not respond after reboot.\r Try again.";

// Our own: failures of the serial port during a download.
inline constexpr const char* PortOpenFailed = "The serial port could not be opened.";
inline constexpr const char* DownloadStopped = "Download stopped.";

} // namespace quill::text
