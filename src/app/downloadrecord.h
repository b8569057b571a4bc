// SPDX-License-Identifier: MIT
#pragma once
// The window's record of its downloads in the history: a row begun at each
// "Start Download" and ended when that download ends, with how it ended by
// name and the exit code quill-cli would give, the last message the window
// showed, the firmware's identity and the trace of the download. The rows
// are written on a thread of their own (history/historywriter.h); a history
// that cannot be written is said once on standard error, and the downloads
// go on.
//
// The window's History dialog reads the same history through a store of
// its own, opened at location(), and is told by the recorded hook when a
// row has been completed.

#include "history/historywriter.h"
#include "platform/downloadobserver.h"
#include "platform/settingsstore.h"
#include "qt/portnames.h"
#include "trace/tracesession.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quill {

class DownloadRecord final : public DownloadObserver, private WireTrace {
  public:
    // `session` is the window's trace, whose events give the messages shown
    // and whose progress the counts.
    DownloadRecord(const Module1& m, TraceSession& session, const SettingsStore& store,
                   PortResolver resolver);
    // The rows given are written before it returns.
    ~DownloadRecord() override;
    DownloadRecord(const DownloadRecord&) = delete;
    DownloadRecord& operator=(const DownloadRecord&) = delete;

    // At "Start Download", before the trace is begun: reads the chosen file
    // for its identity; what the trace's header says of it.
    std::string identify();
    // ... and once the trace is begun: the row begins. `traceFile`: empty
    // when none is kept.
    void noteStart(const std::string& traceFile);

    // The history the rows go to; none when its URL is not understood.
    const HistoryLocation* location() const;
    // Runs on this thread each time a row has been completed in the history.
    void setRecorded(std::function<void()> hook) { m_recorded = std::move(hook); }

    // The tooltip of the file's panel: "PATH: N bytes, SHA-256 HEX", or why
    // the file cannot be read.
    static std::string fileTip(const std::string& path);

  private:
    void downloadEnded(DownloadEnd end) override;
    void onTraceEvent(const TraceEvent& event) override;
    void takeProgress(Attempt& a) const;
    void write(std::pair<HistoryWriter::Row, Attempt> ended);

    const Module1& m_m;
    TraceSession& m_session;
    PortResolver m_resolver;
    std::string m_file;
    std::string m_sha256;
    int64_t m_size = 0;
    std::deque<std::pair<HistoryWriter::Row, Attempt>> m_open;      // begun, oldest first
    std::optional<std::pair<HistoryWriter::Row, Attempt>> m_ending; // awaits its message
    std::function<void()> m_recorded;
    QObject m_context; // this thread's
    std::unique_ptr<HistoryWriter> m_writer;
};

} // namespace quill
