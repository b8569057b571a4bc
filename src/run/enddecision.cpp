// SPDX-License-Identifier: MIT
#include "run/enddecision.h"

namespace quill {

void EndDecision::decide(Outcome outcome) {
    if (!m_end) {
        m_end = outcome;
    }
}

void EndDecision::lostAfterComplete() {
    if (m_end == Outcome::Complete) {
        m_end = Outcome::PortFailure;
    }
}

// A device that does not answer after a failed handshake is most likely
// still outside its programming mode: the handshake is the cause. A lost
// port or an unreadable file has a cause of its own.
Outcome EndDecision::outcome() const {
    const Outcome end = m_end.value_or(Outcome::Failure);
    const bool silence =
        end == Outcome::NoEraseAnswer || end == Outcome::IdleTimeout || end == Outcome::Failure;
    return m_trackerReported && silence ? Outcome::TrackerHandshake : end;
}

} // namespace quill
