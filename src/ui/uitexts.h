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

// Our own: the File menu's "Station..." and its window frmStation, one tile
// per port for the operator on a line.
inline constexpr const char* MenuFileStation = "S&tation...";
inline constexpr const char* StationCaption = "Quill Station";
inline constexpr const char* StationPorts = "Ports";
inline constexpr const char* StationPortsHint = "COM1 /dev/ttyUSB0 rfc2217://host:4001 ...";
inline constexpr const char* StationBaud = "Baud";
inline constexpr const char* StationDevice = "Device";
inline constexpr const char* StationFile = "File";
inline constexpr const char* StationChooseFile = "...";
inline constexpr const char* StationFileCaption = "Open";
inline constexpr const char* StationHexFiles = "Hex files (*.hex);;All files (*)";
inline constexpr const char* StationBatch = "Batch";
inline constexpr const char* StationStart = "Start (F5)";
inline constexpr const char* StationRetry = "Retry failed (F6)";
inline constexpr const char* StationStop = "Stop (Esc)";
// Retry refused: the file on disk is no longer the firmware the failed units had.
inline constexpr const char* StationRetryFileChanged =
    "The file changed since the round that failed, so Retry failed sends nothing. Start (F5) "
    "downloads the file as it is now to every port.";
// The header: the file and its SHA-256's first 12 digits; the line; the batch.
inline constexpr const char* StationFirmware = "%1   SHA-256 %2";
inline constexpr const char* StationNoFile = "No file chosen";
inline constexpr const char* StationUnknownSha = "?";
inline constexpr const char* StationLine = "%1 baud, %2";
inline constexpr const char* StationNoBatch = "No batch";
inline constexpr const char* StationBatchShown = "Batch %1";
// The units since the window opened, said as every view says them
// (history/unityield.h), before any was judged:
inline constexpr const char* StationNoUnits = "Units 0";
// The round a tile was last part of, and the header's.
inline constexpr const char* StationRoundShown = "Round %1";
// Options, "Serial number..." as the header shows it when it is on.
inline constexpr const char* StationSerialSeries = "Serial numbers: %1";
inline constexpr const char* StationSerialList = "Serial numbers from %1";
inline constexpr const char* StationSerialNext = ", next %1";
// A round that a killed process left: its start and the ports whose units
// did not finish.
inline constexpr const char* StationInterrupted = "Interrupted %1: %2 did not finish.";
inline constexpr const char* StationInterruptedTime = "yyyy-MM-dd HH:mm";
// Retry failed's question names the ports it goes to.
inline constexpr const char* StationRetryPorts = "Retry failed on: %1";
// A tile.
inline constexpr const char* StationReady = "Ready";
inline constexpr const char* StationWorking = "Working";
inline constexpr const char* StationWaiting = "Waiting";
// A device that has taken no record for a while.
inline constexpr const char* StationStalled = "No record for %1 s";
// What a port is like before a round; the serial control's sentence on hover.
inline constexpr const char* StationPortMissing = "⚠ Port missing";
inline constexpr const char* StationPortBusy = "⚠ Port in use by another program";
inline constexpr const char* StationPortNoAccess = "⚠ No permission to open the port";
inline constexpr const char* StationPortUnusable = "⚠ Port cannot be opened";
// How a unit ended, told apart by a sign as well as by the tile's colour.
inline constexpr const char* StationComplete = "✔ COMPLETE";
inline constexpr const char* StationFailed = "✖ FAILED";
inline constexpr const char* StationStopped =
    "■ STOPPED"; // Stop (Esc): neither complete nor failed
inline constexpr const char* StationRecords = "%v of %m records";
// The work order the station runs, as a barcode scanner types it.
inline constexpr const char* StationWorkOrder = "Work order";
inline constexpr const char* StationWorkOrderHint =
    "Scan or type an order, then Enter (empty, then Enter: no order)";
inline constexpr const char* StationOrderLooking = "Looking up work order %1...";
// The order selected: its recipe, version, firmware and the engineer's note.
inline constexpr const char* StationOrderRecipe = "Recipe %1, version %2, SHA-256 %3";
inline constexpr const char* StationOrderNote = "   Note: %1";
// The header's firmware on hover, for a work order's recipe: its file's name, the whole SHA-256.
inline constexpr const char* StationRecipeHover = "%1, SHA-256 %2";
inline constexpr const char* StationOrderUnknown =
    "There is no work order %1. Check the number on the traveller and scan it again.";
inline constexpr const char* StationOrderClosed =
    "Work order %1 is closed and runs no more units. Scan an open order.";
inline constexpr const char* StationOrderNoRecipe =
    "Work order %1 names recipe %2, which the history does not hold. Ask the line's engineer.";
inline constexpr const char* StationOrderRetired =
    "Work order %1 runs recipe %2, which is retired and runs no more. Ask the line's engineer.";
inline constexpr const char* StationOrderUnreadable =
    "Work order %1 could not be looked up: %2. Check the history, then press Enter again.";
// The header: the order's progress across every station of the line.
inline constexpr const char* StationOrderProgress =
    "Order %1: %2 of %3 done, %4 in progress, %5 remaining";
inline constexpr const char* StationOrderComplete = "Order %1 is complete: %2 of %3 done";
// Every place taken, some by units not ended: a place comes free when one fails.
inline constexpr const char* StationOrderFull =
    "Order %1 has no place left: %2 of %3 done, %4 in progress";
inline constexpr const char* StationOrderClosedShown = "Order %1 is closed: %2 of %3 done";
// The station window's menus, beside the main window's.
inline constexpr const char* StationMenuOpen = "&Open firmware...";
inline constexpr const char* StationMenuQuit = "&Quit";
// Options, "Station settings...".
inline constexpr const char* MenuStationSettings = "Station settings...";
inline constexpr const char* StationSettingsCaption = "Station settings";
inline constexpr const char* StationIdleLimit = "Idle limit (seconds, 0: none)";
inline constexpr const char* StationSlotNames = "Slot names";
inline constexpr const char* StationSlotHint =
    "A name for the slot on the line behind each port, shown large on its tile.";
// Closing a window while devices are being flashed.
inline constexpr const char* StopAndCloseOne = "1 device is being flashed. Stop it and close?";
inline constexpr const char* StopAndCloseMany =
    "%1 devices are being flashed. Stop them and close?";

// The History window's tabs; the Yield tab's totals: "1234 attempts: 1200
// complete, 34 no erase answer. Yield 97.2% of those that ended."
inline constexpr const char* HistoryAttemptsTab = "Attempts";
inline constexpr const char* HistoryYieldTab = "Yield";
inline constexpr const char* YieldAttempts = "%1 attempts: %2.";
inline constexpr const char* YieldPercent = " Yield %1% of those that ended.";
inline constexpr const char* YieldNone = "No attempts shown.";
// A bar's tooltip: its time, then its totals as above.
inline constexpr const char* YieldBarTip = "%1: %2";
inline constexpr const char* YieldHourFormat = "MM-dd HH:00";
inline constexpr const char* YieldDayFormat = "yyyy-MM-dd";

// frmComSetup
inline constexpr const char* ComSetupCaption = "COM Setup";
inline constexpr const char* FramePort = "Com Port";
inline constexpr const char* FrameBaud = "Baud";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Cancel = "Cancel";

// Our own: Options, "Serial number..." and its dialog frmSerial; the panel
// that shows the unit's number, in the status bar and on a station tile.
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
inline constexpr const char* SerialBadStart =
    "The first number must be a whole number from 0 to 9223372036854775806.";
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
// quill --station's problems, each followed by what was given.
inline constexpr const char* StationBadBaud = "--baud must be 9600 or 38400, not ";
inline constexpr const char* StationBadDevice = "--device must be manual or tracker, not ";
inline constexpr const char* StationOneFile = "one hex file at most, not ";
inline constexpr const char* ProgramHelp =
    R"(Usage: quill [/p N]
  or:  quill --station [-p PORT]... [-b 9600|38400] [-d manual|tracker]
                       [--batch NAME] [FILE]
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
  --station   open the station window alone ("Quill Station"): a tile per
              port, every port downloaded at once with F5, the ports that
              failed again with F6, all stopped with Esc
  -p, --port PORT
              with --station: a port, named as for quill-cli (COMn, a
              device path or rfc2217://HOST:PORT); give one for each;
              NAME=PORT shows the name of its slot on its tile
  -b, --baud RATE
              with --station: 9600 or 38400
  -d, --device KIND
              with --station: manual or tracker
  --batch NAME
              with --station: tag the history's rows with this batch, each
              unit with its number in it
  --help      display this help and exit
  --version   output version information and exit

Port and baud rate are kept between runs in the settings file; so is what
the station window downloads (section [Station]), which the station's
options replace.
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
