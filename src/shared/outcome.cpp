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
};

// In the order of the enum.
constexpr std::array<OutcomeInfo, 22> outcomes{{
    {Outcome::Complete, "complete", ExitCode::Complete, "complete", "complete"},
    {Outcome::BadRecord, "bad_record", ExitCode::BadRecord, "bad record", "bad record"},
    {Outcome::NoRecords, "no_records", ExitCode::BadRecord, "no records", "no records"},
    {Outcome::NoEndRecord, "no_end_record", ExitCode::BadRecord, "no end record", "no end record"},
    {Outcome::RecordsAfterEnd, "records_after_end", ExitCode::BadRecord, "records past end",
     "records after the end record"},
    {Outcome::FileChanged, "file_changed", ExitCode::BadRecord, "file changed", "file changed"},
    {Outcome::UnexpectedFirmware, "unexpected_firmware", ExitCode::BadRecord, "unexpected file",
     "not the expected firmware"},
    {Outcome::FileError, "file_error", ExitCode::FileError, "file error", "file error"},
    {Outcome::NoEraseAnswer, "no_erase_answer", ExitCode::NoEraseAnswer, "no erase answer",
     "no answer to the erase request"},
    {Outcome::TrackerHandshake, "tracker_handshake", ExitCode::TrackerHandshake, "handshake failed",
     "Tracker handshake failed"},
    {Outcome::PortFailure, "port_failure", ExitCode::PortError, "port error", "port error"},
    {Outcome::Cancelled, "cancelled", ExitCode::Cancelled, "cancelled", "cancelled"},
    {Outcome::IdleTimeout, "idle_timeout", ExitCode::IdleTimeout, "silent",
     "silent past the idle timeout"},
    {Outcome::Interrupted, "interrupted", ExitCode::Interrupted, "interrupted", "interrupted"},
    {Outcome::Superseded, "superseded", ExitCode::Failure, "superseded", "superseded"},
    {Outcome::HistoryFailed, "history_failed", ExitCode::HistoryFailed, "no history",
     "history not written"},
    {Outcome::Usage, "usage", ExitCode::Usage, "not started", "not started"},
    {Outcome::DevicesDiffer, "devices_differ", ExitCode::DevicesDiffer, "failed",
     "failed in different ways"},
    {Outcome::Failure, "failure", ExitCode::Failure, "failed", "failed"},
    {Outcome::Unfinished, "unfinished", ExitCode::Failure, "unfinished", "unfinished"},
    {Outcome::SerialUnusable, "serial_unusable", ExitCode::BadRecord, "no serial",
     "serial number unusable"},
    {Outcome::EventsFailed, "events_failed", ExitCode::EventsFailed, "no events",
     "events not published"},
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
           outcome != Outcome::EventsFailed;
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

} // namespace quill
