// SPDX-License-Identifier: MIT
#pragma once
// How a headless run ended: the first end noted counts, whether the
// download told it or the run decided it (a limit on silence, a signal, a
// lost port). Never judged from the texts of the messages shown.

#include "shared/outcome.h"

#include <optional>

namespace quill {

class EndDecision {
  public:
    // The wait dialog turned into an error report. The handshake goes on, so
    // this decides nothing yet; it becomes the cause if the device then
    // does not answer.
    void noteTrackerReport() { m_trackerReported = true; }
    // The first end noted is the one that counts.
    void decide(Outcome outcome);
    // A download told complete whose port went away before the device
    // answered its last record: the last bytes may never have gone out.
    void lostAfterComplete();

    bool decided() const { return m_end.has_value(); }
    bool trackerReported() const { return m_trackerReported; }
    // The end that counts; Failure while none is noted.
    Outcome outcome() const;

  private:
    std::optional<Outcome> m_end;
    bool m_trackerReported = false;
};

} // namespace quill
