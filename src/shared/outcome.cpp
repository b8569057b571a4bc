// SPDX-License-Identifier: MIT
#include "shared/outcome.h"

#include <array>

namespace quill {

namespace {

struct OutcomeInfo {
    Outcome outcome;
    const char* name;
    ExitCode code;
    const char* shortWords;
    const char* words;
    const char* instruction; // what the operator does next, in one sentence
};

// In the order of the enum.
constexpr std::array<OutcomeInfo, 23> outcomes{{
    {Outcome::Complete, "complete", ExitCode::Complete, "complete", "complete", ""},
    {Outcome::BadRecord, "bad_record", ExitCode::BadRecord, "bad record", "bad record",
     "The firmware file is damaged: choose a good file, then press Start (F5)."},
    {Outcome::NoRecords, "no_records", ExitCode::BadRecord, "no records", "no records",
     "The file holds no firmware: choose the right file, then press Start (F5)."},
    {Outcome::NoEndRecord, "no_end_record", ExitCode::BadRecord, "no end record", "no end record",
     "The file has no end record: choose the whole file, then press Start (F5)."},
    {Outcome::RecordsAfterEnd, "records_after_end", ExitCode::BadRecord, "records past end",
     "records after the end record",
     "The file goes on after its end record: choose a clean file, then press Start (F5)."},
    {Outcome::FileChanged, "file_changed", ExitCode::BadRecord, "file changed", "file changed",
     "The file changed while it was sent: make sure nothing writes it, then press Start (F5)."},
    {Outcome::UnexpectedFirmware, "unexpected_firmware", ExitCode::BadRecord, "unexpected file",
     "not the expected firmware",
     "The file is not the firmware of this round: put it back, or press Start (F5) to send the new "
     "one."},
    {Outcome::FileError, "file_error", ExitCode::FileError, "file error", "file error",
     "The file cannot be read: check that it is there and readable, then press Start (F5)."},
    {Outcome::NoEraseAnswer, "no_erase_answer", ExitCode::NoEraseAnswer, "no erase answer",
     "no answer to the erase request",
     "The unit did not answer: check its cable and power, set it ready for download, then press "
     "Retry failed (F6)."},
    {Outcome::TrackerHandshake, "tracker_handshake", ExitCode::TrackerHandshake, "handshake failed",
     "Tracker handshake failed",
     "The Tracker did not answer as it should: check its cable and power, then press Retry failed "
     "(F6)."},
    {Outcome::PortFailure, "port_failure", ExitCode::PortError, "port error", "port error",
     "The port could not be used: plug the adapter in and close any other program using it, then "
     "press Retry failed (F6)."},
    {Outcome::Cancelled, "cancelled", ExitCode::Cancelled, "cancelled", "cancelled",
     "Nothing was sent: prepare the unit, then press Retry failed (F6)."},
    {Outcome::IdleTimeout, "idle_timeout", ExitCode::IdleTimeout, "silent",
     "silent past the idle timeout",
     "The unit went silent: check its cable and power, then press Retry failed (F6)."},
    {Outcome::Interrupted, "interrupted", ExitCode::Interrupted, "interrupted", "interrupted",
     "Stopped before the end: press Retry failed (F6) to flash this unit again."},
    {Outcome::Superseded, "superseded", ExitCode::Failure, "superseded", "superseded",
     "Stopped by a new round: press Retry failed (F6) to flash this unit again."},
    {Outcome::HistoryFailed, "history_failed", ExitCode::HistoryFailed, "no history",
     "history not written",
     "The history could not be written: check its connection, then press Retry failed (F6)."},
    {Outcome::Usage, "usage", ExitCode::Usage, "not started", "not started",
     "The round could not start: correct what the window says, then press Start (F5)."},
    {Outcome::DevicesDiffer, "devices_differ", ExitCode::DevicesDiffer, "failed",
     "failed in different ways",
     "The download failed: check the unit and its cable, then press Retry failed (F6)."},
    {Outcome::Failure, "failure", ExitCode::Failure, "failed", "failed",
     "The download failed: check the unit and its cable, then press Retry failed (F6)."},
    {Outcome::Unfinished, "unfinished", ExitCode::Failure, "unfinished", "unfinished",
     "The download never ended: flash this unit again."},
    {Outcome::SerialUnusable, "serial_unusable", ExitCode::BadRecord, "no serial",
     "serial number unusable",
     "The unit's serial number could not go into its image: check Options, Serial number, then "
     "press Start (F5)."},
    {Outcome::EventsFailed, "events_failed", ExitCode::EventsFailed, "no events",
     "events not published",
     "The live events could not be sent: check their target, then press Start (F5)."},
    {Outcome::OrderComplete, "order_complete", ExitCode::OrderComplete, "order complete",
     "work order complete",
     "The work order has all its units: nothing was sent; take the unit off the line or open the "
     "next order."},
}};

const OutcomeInfo& info(Outcome outcome) {
    return outcomes[static_cast<size_t>(outcome)];
}

} // namespace

Outcome outcomeOf(DownloadEnd end) {
    switch (end) {
    case DownloadEnd::Complete:
        return Outcome::Complete;
    case DownloadEnd::BadRecord:
        return Outcome::BadRecord;
    case DownloadEnd::NoRecords:
        return Outcome::NoRecords;
    case DownloadEnd::NoEndRecord:
        return Outcome::NoEndRecord;
    case DownloadEnd::RecordsAfterEnd:
        return Outcome::RecordsAfterEnd;
    case DownloadEnd::FileError:
        return Outcome::FileError;
    case DownloadEnd::FileChanged:
        return Outcome::FileChanged;
    case DownloadEnd::NoEraseAnswer:
        return Outcome::NoEraseAnswer;
    case DownloadEnd::TrackerHandshake:
        return Outcome::TrackerHandshake;
    case DownloadEnd::PortFailure:
        return Outcome::PortFailure;
    case DownloadEnd::Cancelled:
        return Outcome::Cancelled;
    case DownloadEnd::Superseded:
        return Outcome::Superseded;
    case DownloadEnd::Interrupted:
        return Outcome::Interrupted;
    }
    return Outcome::Failure;
}

ExitCode exitCodeOf(Outcome outcome) {
    return info(outcome).code;
}

std::string_view outcomeName(Outcome outcome) {
    return info(outcome).name;
}

std::optional<Outcome> outcomeNamed(std::string_view name) {
    for (const OutcomeInfo& i : outcomes) {
        if (name == i.name) {
            return i.outcome;
        }
    }
    return std::nullopt;
}

bool unitTouched(Outcome outcome) {
    return outcome != Outcome::Usage && outcome != Outcome::HistoryFailed &&
           outcome != Outcome::EventsFailed && outcome != Outcome::OrderComplete;
}

bool outcomeFailed(Outcome outcome) {
    return outcome != Outcome::Complete && outcome != Outcome::Unfinished;
}

std::string_view outcomeShortWords(Outcome outcome) {
    return info(outcome).shortWords;
}

std::string_view outcomeWords(Outcome outcome) {
    return info(outcome).words;
}

std::string_view outcomeInstruction(Outcome outcome) {
    return info(outcome).instruction;
}

} // namespace quill
