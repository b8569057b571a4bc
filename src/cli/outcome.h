// SPDX-License-Identifier: MIT
#pragma once
// How a run of quill-cli ended: the end the download told, as an exit code.
// Never judged from the texts of the messages shown.

#include "cli/exitcodes.h"
#include "platform/downloadobserver.h"

#include <optional>

namespace quill::cli {

// The exit code of a download's end.
ExitCode exitCodeFor(DownloadEnd end);

class Outcome {
  public:
    // The wait dialog turned into an error report. The handshake goes on, so
    // this decides nothing yet; it becomes the cause if the device then
    // does not answer.
    void noteTrackerReport() { m_trackerReported = true; }
    // The first end noted is the one that counts.
    void decide(ExitCode code);

    bool decided() const { return m_end.has_value(); }
    bool trackerReported() const { return m_trackerReported; }
    ExitCode exitCode() const;

  private:
    std::optional<ExitCode> m_end;
    bool m_trackerReported = false;
};

} // namespace quill::cli
