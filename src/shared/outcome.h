// SPDX-License-Identifier: MIT
#pragma once
// How a download ended, or a run that never got as far as a download: one
// value that every view reads (quill-cli's lines, --json and table, the
// history, the window). Its name for machines and its words for people are
// said once, in outcome.cpp; nothing compares texts to learn an outcome.

#include "platform/downloadobserver.h"
#include "shared/exitcodes.h"

#include <optional>
#include <string_view>

namespace quill {

enum class Outcome : uint8_t {
    Complete,
    // Not whole firmware, or no longer the file that was checked: nothing,
    // or nothing more, was sent.
    BadRecord,
    NoRecords,
    NoEndRecord,
    RecordsAfterEnd,
    FileChanged,
    UnexpectedFirmware, // --expect-sha256 named other bytes
    FileError,
    NoEraseAnswer,
    TrackerHandshake,
    PortFailure,
    Cancelled, // the Manual prompt was answered no
    IdleTimeout,
    Interrupted,
    Superseded, // the window: a new Start or a new file while it ran
    HistoryFailed,
    Usage,
    DevicesDiffer, // a run on several ports whose failed devices ended differently
    Failure,
    Unfinished,     // the history: an attempt whose end was never written
    SerialUnusable, // the unit's number could not go into its image: nothing was sent
    EventsFailed,   // --events: the broker could not be reached before the run began
    // The work order had no place left for the unit (or was closed): its
    // device heard nothing. Not a unit's failure: no unit was begun.
    OrderComplete,
};

// The outcome of a download's end.
Outcome outcomeOf(DownloadEnd end);
// The exit code quill-cli gives for it.
ExitCode exitCodeOf(Outcome outcome);
// complete, no_erase_answer, ...: for machines (--json, the history).
std::string_view outcomeName(Outcome outcome);
// The outcome of such a name; none for a name this version does not know.
std::optional<Outcome> outcomeNamed(std::string_view name);
// A device was touched, or would have been: not a run refused before any
// device could be (a usage error, a history or a broker required and not
// reached). What a run's units are counted from.
bool unitTouched(Outcome outcome);
// Neither complete nor still running: a failure, whichever its kind.
bool outcomeFailed(Outcome outcome);
// A few words for a table column: "no erase answer", "port error", ...
std::string_view outcomeShortWords(Outcome outcome);
// The words of a summary: "no answer to the erase request", ...
std::string_view outcomeWords(Outcome outcome);
// What the operator does about it, in one plain sentence ("The unit did not
// answer: check its cable ..."); empty for Complete.
std::string_view outcomeInstruction(Outcome outcome);

} // namespace quill
