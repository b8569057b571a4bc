// SPDX-License-Identifier: MIT
#pragma once
// An observer of a download's conversation: every write to the port, every
// batch read from it, each change of cstate, the supervision timer, the line
// settings, the port's opening, closing and loss, what a port on the network
// did, the message boxes and the wait dialog, each with a monotonic time
// stamp. The engine does not know
// it is observed: decorators around its serial control, timer, boxes and
// wait dialog report what passes through them (see download/tracesession.h).

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace quill {

enum class TraceKind : uint8_t {
    Start,        // "Start Download" pressed; text: port, settings, device, file
    Written,      // bytes: one write to the port
    Received,     // bytes: one batch read from the port
    CommEvent,    // value: a port event other than receive (CommEvent)
    State,        // value: the new cstate
    TimerArmed,   // value: the interval in milliseconds
    TimerStopped, // a running countdown was stopped
    TimerExpired, // the countdown ran out
    Settings,     // text: the line configuration text applied
    RxDiscarded,  // what the port had received and not delivered was thrown away
    PortOpened,   // text: the port's name
    PortClosed,   //
    PortLost,     // text: the sentence that names the port and the cause
    PortFailed,   // text: an operation of the serial control failed
    BoxShown,     // text: the message; value: 1 for OK and Cancel, 0 for OK alone
    BoxClosed,    // value: 0 OK, 1 Cancel
    WaitShown,    // the wait dialog shows, modal
    WaitClosed,   // ... and has been closed
    WaitReport,   // text: the error report the wait dialog shows
    WaitOk,       // the wait dialog's OK was pressed
    PortNote,     // text: what a port on the network did (connected, settings answered, ...)
    FileChecked,  // text: the file as the whole-file check read it, and what will be sent
    Patched,      // text: a record as it stands in the file, sent with the unit's number in it
};

// `bytes` and `text` are valid only during the call that reports them.
struct TraceEvent {
    TraceKind kind = TraceKind::Start;
    int64_t atUs = 0; // monotonic, in microseconds
    std::span<const uint8_t> bytes{};
    std::string_view text{};
    int32_t value = 0;
};

class WireTrace {
  public:
    virtual ~WireTrace() = default;
    virtual void onTraceEvent(const TraceEvent& event) = 0;
};

// Monotonic microseconds: the steady clock in the programs, the simulated
// clock in the tests.
using TraceClock = std::function<int64_t()>;

} // namespace quill
