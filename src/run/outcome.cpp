// SPDX-License-Identifier: MIT
#include "run/outcome.h"

namespace quill {

ExitCode exitCodeFor(DownloadEnd end) {
    switch (end) {
    case DownloadEnd::Complete:
        return ExitCode::Complete;
    // Not whole firmware, or no longer the file that was checked.
    case DownloadEnd::BadRecord:
    case DownloadEnd::NoRecords:
    case DownloadEnd::NoEndRecord:
    case DownloadEnd::RecordsAfterEnd:
    case DownloadEnd::FileChanged:
        return ExitCode::BadRecord;
    case DownloadEnd::FileError:
        return ExitCode::FileError;
    case DownloadEnd::NoEraseAnswer:
        return ExitCode::NoEraseAnswer;
    case DownloadEnd::TrackerHandshake:
        return ExitCode::TrackerHandshake;
    case DownloadEnd::PortFailure:
        return ExitCode::PortError;
    case DownloadEnd::Cancelled:
        return ExitCode::Cancelled;
    case DownloadEnd::Superseded:
    case DownloadEnd::Interrupted:
        return ExitCode::Failure;
    }
    return ExitCode::Failure;
}

std::string_view endName(DownloadEnd end) {
    switch (end) {
    case DownloadEnd::Complete:
        return "complete";
    case DownloadEnd::BadRecord:
        return "bad_record";
    case DownloadEnd::NoRecords:
        return "no_records";
    case DownloadEnd::NoEndRecord:
        return "no_end_record";
    case DownloadEnd::RecordsAfterEnd:
        return "records_after_end";
    case DownloadEnd::FileError:
        return "file_error";
    case DownloadEnd::FileChanged:
        return "file_changed";
    case DownloadEnd::NoEraseAnswer:
        return "no_erase_answer";
    case DownloadEnd::TrackerHandshake:
        return "tracker_handshake";
    case DownloadEnd::PortFailure:
        return "port_failure";
    case DownloadEnd::Cancelled:
        return "cancelled";
    case DownloadEnd::Superseded:
        return "superseded";
    case DownloadEnd::Interrupted:
        return "interrupted";
    }
    return "failure";
}

std::string_view exitCodeName(ExitCode code) {
    switch (code) {
    case ExitCode::Complete:
        return "complete";
    case ExitCode::Failure:
        return "failure";
    case ExitCode::Usage:
        return "usage";
    case ExitCode::FileError:
        return "file_error";
    case ExitCode::BadRecord:
        return "bad_record";
    case ExitCode::PortError:
        return "port_failure";
    case ExitCode::NoEraseAnswer:
        return "no_erase_answer";
    case ExitCode::TrackerHandshake:
        return "tracker_handshake";
    case ExitCode::IdleTimeout:
        return "idle_timeout";
    case ExitCode::Cancelled:
        return "cancelled";
    case ExitCode::DevicesDiffer:
        return "devices_differ";
    case ExitCode::HistoryFailed:
        return "history_failed";
    case ExitCode::Interrupted:
        return "interrupted";
    }
    return "failure";
}

void Outcome::decide(ExitCode code, std::string_view name) {
    if (!m_end) {
        m_end = code;
        m_name = name.empty() ? exitCodeName(code) : name;
    }
}

void Outcome::lostAfterComplete() {
    if (m_end == ExitCode::Complete) {
        m_end = ExitCode::PortError;
        m_name = exitCodeName(ExitCode::PortError);
    }
}

// A device that does not answer after a failed handshake is most likely
// still outside its programming mode: the handshake is the cause. A lost
// port or an unreadable file has a cause of its own.
bool Outcome::blameHandshake() const {
    const ExitCode end = m_end.value_or(ExitCode::Failure);
    const bool silence =
        end == ExitCode::NoEraseAnswer || end == ExitCode::IdleTimeout || end == ExitCode::Failure;
    return m_trackerReported && silence;
}

ExitCode Outcome::exitCode() const {
    return blameHandshake() ? ExitCode::TrackerHandshake : m_end.value_or(ExitCode::Failure);
}

std::string_view Outcome::name() const {
    if (blameHandshake()) {
        return endName(DownloadEnd::TrackerHandshake);
    }
    return m_end ? m_name : exitCodeName(ExitCode::Failure);
}

} // namespace quill
