// SPDX-License-Identifier: MIT
#pragma once
// How a download ended, judged from what the core showed: its message
// texts are compared with the system's constants, never retyped.

#include "cli/exitcodes.h"

#include <optional>
#include <string_view>

namespace quill::cli {

// The exit code a message of the core stands for; empty for a message that
// does not end a download.
std::optional<ExitCode> classifyMessage(std::string_view text);

class Outcome {
  public:
    // A message box of the core. Returns true when it ended the run.
    bool noteMessage(std::string_view text);
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
