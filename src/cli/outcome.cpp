// SPDX-License-Identifier: MIT
#include "cli/outcome.h"

#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"

namespace quill::cli {

std::optional<ExitCode> classifyMessage(std::string_view text) {
    if (text == quill::text::DownloadComplete) {
        return ExitCode::Complete;
    }
    if (text == quill::text::NoEraseResponse) {
        return ExitCode::NoEraseAnswer;
    }
    if (text == quill::text::InvalidRecord) {
        return ExitCode::BadRecord;
    }
    if (text == quill::text::OpenFileError || text == quill::text::FileCloseError ||
        text == quill::text::ReadError) {
        return ExitCode::FileError;
    }
    if (text == quill::text::FileMustBeSelected) {
        return ExitCode::Usage;
    }
    // The port's failures: the control's own sentence, after "could not be
    // opened" or before "Download stopped.".
    const std::string_view openFailed = quill::text::PortOpenFailed;
    const std::string_view stopped = quill::text::DownloadStopped;
    if (text.starts_with(openFailed) || text.ends_with(stopped)) {
        return ExitCode::PortError;
    }
    return std::nullopt;
}

bool Outcome::noteMessage(std::string_view text) {
    if (const auto code = classifyMessage(text)) {
        decide(*code);
        return true;
    }
    return false;
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
