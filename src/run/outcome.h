// SPDX-License-Identifier: MIT
#pragma once
// How a run of quill-cli ended: the end the download told, as an exit code
// and as a name for machines (--json). Never judged from the texts of the
// messages shown.

#include "platform/downloadobserver.h"
#include "run/exitcodes.h"

#include <optional>
#include <string_view>

namespace quill {

// The exit code of a download's end.
ExitCode exitCodeFor(DownloadEnd end);

// The name of a download's end: "complete", "no_erase_answer", ...
std::string_view endName(DownloadEnd end);

// The name of an end that quill-cli decided itself: "usage", "idle_timeout", ...
std::string_view exitCodeName(ExitCode code);

class Outcome {
  public:
    // The wait dialog turned into an error report. The handshake goes on, so
    // this decides nothing yet; it becomes the cause if the device then
    // does not answer.
    void noteTrackerReport() { m_trackerReported = true; }
    // The first end noted is the one that counts; without a name, the exit
    // code's own.
    void decide(ExitCode code, std::string_view name = {});
    // A download told complete whose port went away before the device
    // answered its last record: the last bytes may never have gone out.
    void lostAfterComplete();

    bool decided() const { return m_end.has_value(); }
    bool trackerReported() const { return m_trackerReported; }
    ExitCode exitCode() const;
    // The name of the end that counts, to go with exitCode().
    std::string_view name() const;

  private:
    bool blameHandshake() const;

    std::optional<ExitCode> m_end;
    std::string_view m_name;
    bool m_trackerReported = false;
};

} // namespace quill
