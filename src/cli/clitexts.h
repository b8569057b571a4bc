// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's own texts. The download's messages are the system's, shown
// as they stand (see downloadtexts.h and hexfiletexts.h).

namespace quill::cli::text {

inline constexpr const char* ProgramName = "quill-cli";
// The settings store is the window program's, so both share port and baud rate.
inline constexpr const char* SettingsApplication = "quill";

inline constexpr const char* PromptChoices = " [y/N] ";
inline constexpr const char* PromptAnsweredByOption = "y (--yes)";
inline constexpr const char* RiskAccepted = "y (--allow-no-end-record)";
inline constexpr const char* RiskRefused = "n (give --allow-no-end-record to download it)";
inline constexpr const char* PromptNeedsTerminal =
    "the Manual device prompt needs a terminal on standard input; give --yes to answer OK";
inline constexpr const char* NotStarted = "Download not started.";

inline constexpr const char* NoPort =
    "no port given and none stored: use --port COMn or --port DEVICE";
inline constexpr const char* NoBaud =
    "no usable baud rate given or stored: use --baud 9600 or 38400";

// "No answer from the device for " N " s.", then the download's "Download stopped.".
inline constexpr const char* IdlePrefix = "No answer from the device for ";
inline constexpr const char* IdleSuffix = " s.";

inline constexpr const char* CompletedAfterTrackerError =
    "The Tracker handshake reported an error, but the download completed.";

} // namespace quill::cli::text
