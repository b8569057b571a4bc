// SPDX-License-Identifier: MIT
#pragma once
// Texts of start-up, the settings store and the "COM Setup" dialog, exactly
// as the user (or the store) sees them. "\r" joins the lines of one message.

namespace quill::text {

// The settings store: sections and keys.
inline constexpr const char* SectionPort = "Port";
inline constexpr const char* KeyCom = "COM";
inline constexpr const char* KeyBaud = "BAUD";
inline constexpr const char* SectionOption = "Option";
inline constexpr const char* KeyDevice = "DEVICE";

// The command-line option that selects the port.
inline constexpr const char* PortOption = "/p";

// The port panel of the status bar while no port has been set up.
inline constexpr const char* ComNotSet = "COM not set   ";
// The port panel after a successful OK: "COM" + port + " " + baud + this.
inline constexpr const char* PortPrefix = "COM";
inline constexpr const char* PortPanelSeparator = " ";
inline constexpr const char* PortPanelTail = "  ";

// "COM Setup" dialog captions.
inline constexpr const char* Baud9600 = "9600";
inline constexpr const char* Baud38400 = "38400";

inline constexpr const char* ComPortNotValid = "Current com port selection is not valid";
inline constexpr const char* BaudNotValid = "Current baud rate selection is not valid";

// Our own: OK could not configure or open the port. The serial control's
// own sentence, naming the port and the cause, follows on the next line.
// The chosen port and baud rate stay chosen, and leaving the program stores
// them as it stores any usable choice: the text promises nothing else.
inline constexpr const char* SetupOpenFailed =
    "The serial port could not be opened. Choose Setup again to retry.";
inline constexpr const char* SetupSettingsFailed =
    "The line settings could not be applied. The port was not opened.";

} // namespace quill::text
