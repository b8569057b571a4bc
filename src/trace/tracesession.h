// SPDX-License-Identifier: MIT
#pragma once
// A download with a trace: the decorators around the serial control, the
// timer, the boxes and the wait dialog, the progress in records and data
// bytes, and the observers the events go to (a writer, a progress display).
// The engine is built on the decorated pieces and knows nothing of it;
// without a session nothing is wrapped at all.
//
//     TraceSession trace(m, port, timer, boxes, wait, steadyClockUs);
//     trace.addObserver(&writer);
//     Downloader engine(trace.wrap(Context{m, port, timer, boxes, wait, file, form}));
//     ... trace.noteStart(); engine.cmdStart_Click();

#include "shared/context.h"
#include "trace/downloadprogress.h"
#include "trace/tracedcomm.h"
#include "trace/traceddialogs.h"
#include "trace/tracedtimer.h"
#include "trace/tracetap.h"

#include <vector>

namespace quill {

// The steady clock in microseconds.
int64_t steadyClockUs();

class TraceSession final : private WireTrace, private DownloadObserver {
  public:
    TraceSession(Module1& m, MSComm& port, Timer& timer, MessageBoxes& boxes, WaitDialog& wait,
                 TraceClock clock);
    TraceSession(const TraceSession&) = delete;
    TraceSession& operator=(const TraceSession&) = delete;

    MSComm& comm() { return m_comm; }
    Timer& timer() { return m_timer; }
    MessageBoxes& boxes() { return m_boxes; }
    WaitDialog& waitDialog() { return m_wait; }
    // `inner` with its serial control, timer, boxes and wait dialog replaced
    // by this session's decorators of them, and its observer by observe().
    Context wrap(const Context& inner);
    // The observer the download tells: this session, which counts the
    // file's totals and notes the check, then tells `inner` (may be none).
    DownloadObserver* observe(DownloadObserver* inner);

    // Observers get every event in the order added; the progress comes first.
    void addObserver(WireTrace* observer);
    void removeObserver(WireTrace* observer);
    const DownloadProgress& progress() const { return m_progress; }

    // At "Start Download", before the engine's handler: reports the start.
    // What the file holds is counted by the download's own check.
    void noteStart();
    // What a port on the network did, as its serial control tells it.
    void notePort(std::string_view text) { m_tap.report(TraceKind::PortNote, {}, text); }
    // The record read next is sent with the unit's number in it; this is it
    // as it stands in the file.
    void noteRecordPatched(std::string_view original) {
        m_tap.report(TraceKind::Patched, {}, original);
    }

  private:
    void onTraceEvent(const TraceEvent& event) override;
    void downloadEnded(DownloadEnd end) override;
    void fileChecked(const FileIdentity& identity, const DownloadTotals& totals) override;
    void deviceAnswered() override;
    void beforeFirstByte() override;

    Module1& m_m;
    MSComm& m_port;
    TraceTap m_tap;
    TracedComm m_comm;
    TracedTimer m_timer;
    TracedBoxes m_boxes;
    TracedWaitDialog m_wait;
    DownloadProgress m_progress;
    std::vector<WireTrace*> m_observers;
    DownloadObserver* m_inner = nullptr;
};

} // namespace quill
