// SPDX-License-Identifier: MIT
#pragma once
// The windows' own texts, exactly as the user sees them, and the two ways a
// text of the system becomes a Qt string.

#include <QString>

#include <string>

namespace quill::text {

// The application title: the caption of the main window and of every box.
inline constexpr const char* AppTitle = "Quill";

// The tooltip of the file's panel, after the path, when the file cannot be
// read to its end.
inline constexpr const char* FileTipUnreadable = ": the file cannot be read";

// MainForm
inline constexpr const char* StartDownload = "Start Download";
inline constexpr const char* Message = "Message";
inline constexpr const char* MenuFile = "&File";
inline constexpr const char* MenuFileOpen = "Open";
inline constexpr const char* MenuFileExit = "E&xit";
inline constexpr const char* MenuPort = "&Port";
inline constexpr const char* MenuComSetup = "Setup";
inline constexpr const char* MenuOptions = "&Options";
inline constexpr const char* MenuDevice = "Device";
inline constexpr const char* MenuDeviceManual = "Manual";
inline constexpr const char* MenuDeviceTracker = "Tracker";
inline constexpr const char* MenuHelp = "&Help";
inline constexpr const char* MenuAbout = "About";

// Our own: the File menu's "History..." and its window frmHistory.
inline constexpr const char* MenuFileHistory = "&History...";
inline constexpr const char* HistoryCaption = "History";
inline constexpr const char* HistoryFilterHint =
    "Filter: port, file, outcome, SHA-256, station, operator or batch";
inline constexpr const char* HistoryExport = "Export CSV...";
inline constexpr const char* HistoryExportCaption = "Export CSV";
inline constexpr const char* HistoryCsvFiles = "CSV files (*.csv)";
// The rows shown, of how many, and where they come from.
inline constexpr const char* HistoryShown = "%1 of %2 attempts in %3";
inline constexpr const char* CsvNotWritten = "The CSV file could not be written";

// frmComSetup
inline constexpr const char* ComSetupCaption = "COM Setup";
inline constexpr const char* FramePort = "Com Port";
inline constexpr const char* FrameBaud = "Baud";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Cancel = "Cancel";

// Our own: Options, "Serial number..." and its dialog frmSerial; the panel
// that shows the unit's number.
inline constexpr const char* MenuSerial = "Serial number...";
inline constexpr const char* SerialCaption = "Serial number";
inline constexpr const char* SerialHint =
    "Write a number of each unit's own into its image, drawn from the history: never the same "
    "number twice, on any station that shares it.";
inline constexpr const char* SerialWanted = "Write a serial number into each unit";
inline constexpr const char* SerialAddress = "Address (hex)";
inline constexpr const char* SerialSize = "Bytes";
inline constexpr const char* SerialFormatLabel = "Form";
inline constexpr const char* SerialFormats[] = {
    "binary, lowest byte first", "binary, highest byte first", "decimal digits (ASCII)"};
inline constexpr const char* SerialSeries = "Counter";
inline constexpr const char* SerialStart = "First number";
inline constexpr const char* SerialList = "Or values from a list";
inline constexpr const char* SerialBadAddress = "The address is not a hexadecimal address.";
inline constexpr const char* SerialPanel = "Serial ";

// Our own: the Port menu's "Devices..." and its dialog frmDevices.
inline constexpr const char* MenuDevices = "Devices...";
inline constexpr const char* DevicesCaption = "Devices";
inline constexpr const char* DevicesHint =
    "Choose the serial device behind each COM port: a detected adapter, the default "
    "device, or a path typed in. Adapters are stored by their /dev/serial/by-id name, "
    "which stays the same when they are plugged in again. A port on the network is "
    "typed as rfc2217://HOST:PORT.";

// frmWaitCom, as loaded
inline constexpr const char* WaitCaption = "Tracker Program Error";
inline constexpr const char* WaitMessage = "Unknown error";

// frmAbout
inline constexpr const char* AboutPrefix = "About ";
inline constexpr const char* AboutTitle = "Ostrel Flash Download";
inline constexpr const char* VersionPrefix = "Version ";
inline constexpr const char* AboutDescription =
    "Download software to Ostrel products with flash prom support.";

// quill --help and --version, answered before any window opens. The man page
// quill(1) is made from them.
inline constexpr const char* ProgramName = "quill";
inline constexpr const char* ProgramHelp =
    R"(Usage: quill [/p N]
  or:  quill --help | --version

Downloads an Intel HEX file into the flash memory of an Ostrel device over an
RS-232 serial link. Choose the file (File, Open, or drop it on the window), the
port and baud rate (Port, Setup) and the device (Options, Device: Manual or
Tracker), then press "Start Download". The COM Setup dialog opens on every
start.

Options:
  /p N        start with port N (1 to 4 for COM1 to COM4) selected, if it
              is present; /pN, /P N and /PN work too, and everything else on
              the command line is ignored
  --help      display this help and exit
  --version   output version information and exit

Port and baud rate are kept between runs in the settings file.
)";

} // namespace quill::text

namespace quill {

inline QString qtext(const char* text) {
    return QString::fromUtf8(text);
}

// A message of the system for display: its lines are joined by a carriage
// return, which Qt's labels do not break on.
inline QString shownText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace quill
