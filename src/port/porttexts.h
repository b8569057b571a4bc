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
// Our own: the device behind each COM, under the keys "COM1" to "COM4".
inline constexpr const char* SectionPortNames = "PortNames";

// The command-line option that selects the port.
inline constexpr const char* PortOption = "/p";

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

// Our own: the devices behind COM1 to COM4.
inline constexpr const char* UnnamedAdapter = "serial port";
inline constexpr const char* DeviceNotFound = ": not detected";
inline constexpr const char* NetworkDevice = ": a port on the network";
inline constexpr const char* DefaultDevicePrefix = "Default (";
inline constexpr const char* DefaultDeviceSuffix = ")";

// Our own: the serial device may not be opened by this user. "Cannot open "
// port ": permission denied.", then on the next line the group that owns the
// device node and the command that adds the user to it.
inline constexpr const char* PermissionPrefix = "Cannot open ";
inline constexpr const char* PermissionDenied = ": permission denied.";
inline constexpr const char* PermissionGroupPrefix = "The device belongs to the group ";
inline constexpr const char* PermissionGroupMiddle = ": join it with \"sudo usermod -aG ";
inline constexpr const char* PermissionGroupSuffix = " $USER\", then log out and in again.";
inline constexpr const char* PermissionAskForAccess =
    "Ask the administrator for access to the device.";

// The settings file is a symbolic link: "The settings were not saved: " file
// " is a symbolic link; Quill writes its files only where it made them."
inline constexpr const char* SettingsNotSaved = "The settings were not saved: ";
inline constexpr const char* SettingsIsLink =
    " is a symbolic link; Quill writes its files only where it made them.";

} // namespace quill::text
