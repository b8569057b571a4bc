// SPDX-License-Identifier: MIT
#pragma once
// The texts of a run of one or several devices, beside the download's own
// messages (download/downloadtexts.h, hexfile/hexfiletexts.h).

namespace quill::text {

inline constexpr const char* NoPort =
    "no port given and none stored: use --port COMn or --port DEVICE";
inline constexpr const char* NotComOneToFour = " is not one of COM1 to COM4";
inline constexpr const char* NoBaud =
    "no usable baud rate given or stored: use --baud 9600 or 38400";
// "A and B name the same device D": two threads on one device would write
// into each other's downloads.
inline constexpr const char* SameDeviceTwice = " name the same device ";
// A trace folder: two ports whose traces would have one name.
inline constexpr const char* SameTraceTwice = " would write the same trace ";

// "cannot create the trace file " FILE " (" the reason ")".
inline constexpr const char* LogNotCreated = "cannot create the trace file ";

// "Prepare " N " devices for download at " baud: the Manual prompt, asked
// once for all the devices of a run.
inline constexpr const char* PrepareDevicesPrefix = "Prepare ";
inline constexpr const char* PrepareDevicesMiddle = " devices for download at ";

// --expect-sha256 refused the file: the message, then both digests on lines of their own.
inline constexpr const char* NotExpectedFirmware = "The hex file is not the expected firmware";
inline constexpr const char* ExpectedSha256 = "expected SHA-256:  ";
inline constexpr const char* FileSha256 = "the file's SHA-256: ";

// Serial numbers. "The hex file holds no data at " address ", where each
// unit's serial number goes."
inline constexpr const char* SerialNoData = "The hex file holds no data at ";
inline constexpr const char* SerialNoDataEnd = ", where each unit's serial number goes.";
// "The serial number " value " does not fit in " N " bytes: nothing was sent to this unit."
inline constexpr const char* SerialTooBig = "The serial number ";
inline constexpr const char* SerialTooBigMiddle = " does not fit in ";
inline constexpr const char* SerialTooBigEnd = " bytes: nothing was sent to this unit.";
// "Line " N " of the serial list " FILE " is no value that fits in " size " bytes: ..."
inline constexpr const char* SerialBadLine = "Line ";
inline constexpr const char* SerialBadLineMiddle = " of the serial list ";
inline constexpr const char* SerialBadLineEnd = " is no value that fits in ";
inline constexpr const char* SerialListUsedUp =
    " is used up: no line is left for this unit, and nothing was sent to it.";
// The history could not give a number.
inline constexpr const char* SerialNeedsHistory =
    "Serial numbers are drawn from the history: nothing was sent.";
// The same, found once the device had answered the erase request: the
// number is drawn then, so that a unit never reached spends none.
inline constexpr const char* SerialNeedsHistoryErased =
    "Serial numbers are drawn from the history: the unit was erased, and no record was sent to "
    "it.";
inline constexpr const char* SerialTooBigErasedEnd =
    " bytes: the unit was erased, and no record was sent to it.";
inline constexpr const char* SerialListUsedUpErased =
    " is used up: no line is left for this unit; it was erased, and no record was sent to it.";
// The run gave no number within its time (its history held it).
inline constexpr const char* NumbersNotGiven =
    "No serial number came from the history in time: the unit was erased, and no record was "
    "sent to it.";

// A signal stopped the run.
inline constexpr const char* Interrupted = "Download interrupted";

// The history could not be written, and the run required it.
inline constexpr const char* HistoryRequired =
    "--require-history: not on record, neither in the history nor in this station's journal.";

// At the end: N " row waits" / " rows wait" " for the history " where
// " in the journal " folder "; the next run of quill or quill-cli --history
// takes them there."
inline constexpr const char* RowWaits = " row waits for the history ";
inline constexpr const char* RowsWait = " rows wait for the history ";
inline constexpr const char* WaitInJournal = " in the journal ";
inline constexpr const char* TakenNextTime =
    "; the next run of quill, or quill-cli --history, takes them there.";

} // namespace quill::text
