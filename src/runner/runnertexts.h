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
// The run gave the unit no place in its work order within its time.
inline constexpr const char* PlaceNotGiven =
    "No place in the work order came from the history in time: nothing was sent to this unit.";

// Recipes and work orders. OPTION " differs from recipe " NAME@VERSION
// ", which fixes " value ".": an option asked otherwise than the recipe.
inline constexpr const char* DiffersFromRecipe = " differs from recipe ";
inline constexpr const char* WhichFixes = ", which fixes ";
inline constexpr const char* RecipeFixesNone = "none";
inline constexpr const char* RecipeFixesOff = "it off";
// NAME@N " is retired; the released version is " NAME@M "." / "...; no version of " NAME " is
// released."
inline constexpr const char* IsRetired = " is retired; the released version is ";
inline constexpr const char* IsRetiredNoneReleased = " is retired; no version of ";
inline constexpr const char* IsReleasedEnd = " is released.";
// "No recipe " NAME[@N] " in the history " where "."
inline constexpr const char* NoSuchRecipe = "No recipe ";
inline constexpr const char* NoReleasedRecipe = "No released recipe ";
inline constexpr const char* InTheHistory = " in the history: see quill-cli --recipes.";
inline constexpr const char* BadRecipeName =
    "--recipe needs NAME or NAME@VERSION (a version is a whole number from 1), not ";
inline constexpr const char* RecipeAndOrder =
    "a work order runs its own recipe: give --recipe or --work-order, not both";
// "No work order " NAME " in the history: see quill-cli --work-orders."
inline constexpr const char* NoSuchOrder = "No work order ";
inline constexpr const char* InTheOrders = " in the history: see quill-cli --work-orders.";
// "Work order " NAME " is closed: it runs nothing."
inline constexpr const char* WorkOrder = "Work order ";
inline constexpr const char* OrderClosed = " is closed: it runs nothing.";
// "Work order " NAME " is complete: " done " of " quantity "."
inline constexpr const char* OrderComplete = " is complete: ";
inline constexpr const char* OrderOf = " of ";
// "Work order " NAME " has no place left: " done " of " quantity " done, " n " in progress."
inline constexpr const char* OrderNoPlace = " has no place left: ";
inline constexpr const char* OrderDone = " done, ";
inline constexpr const char* OrderInProgress = " in progress.";
inline constexpr const char* TraceWorkOrder = ", work order ";
inline constexpr const char* UnitNotBegun = "Nothing was sent to this unit.";
// The history, where recipes are kept, could not be read.
inline constexpr const char* RecipesNeedHistory =
    "Recipes and work orders are kept in the history: nothing was sent.";
// A place could not be given back or kept: the order's count is off by one.
inline constexpr const char* PlaceNotSettled =
    "The work order's count of this unit could not be brought up to date: ";

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
