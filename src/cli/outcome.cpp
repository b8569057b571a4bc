// SPDX-License-Identifier: MIT
#include "cli/outcome.h"

namespace quill::cli {

ExitCode exitCodeFor(DownloadEnd end) {
    switch (end) {
    case DownloadEnd::Complete:
        return ExitCode::Complete;
    // Not whole firmware, or no longer the file that was checked.
    case DownloadEnd::BadRecord:
    case DownloadEnd::NoRecords:
    case DownloadEnd::NoEndRecord:
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

void Outcome::decide(ExitCode code) {
    if (!m_end) {
        m_end = code;
    }
}

ExitCode Outcome::exitCode() const {
    const ExitCode end = m_end.value_or(ExitCode::Failure);
    // A device that does not answer after a failed handshake is most likely
    // still outside its programming mode: the handshake is the cause. A lost
    // port or an unreadable file has a cause of its own.
    const bool silence =
        end == ExitCode::NoEraseAnswer || end == ExitCode::IdleTimeout || end == ExitCode::Failure;
    return m_trackerReported && silence ? ExitCode::TrackerHandshake : end;
}

} // namespace quill::cli
