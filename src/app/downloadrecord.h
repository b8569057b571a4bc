// SPDX-License-Identifier: MIT
#pragma once
// The window's downloads in the history, through the record keeper that
// quill-cli uses too. At each "Start Download" a report begins (COMn and
// the device behind it, baud rate, device kind, file, trace); its row is
// begun once the download's whole-file check has read the file, with the
// identity of the bytes checked, before the device hears a byte (or, for a
// download that ended before that, at its end); the row ends with how the
// download ended, the counts and the last message the window showed. Each
// Start is a unit of its own, and its download the unit's first attempt
// once the device has heard a byte.

#include "platform/downloadobserver.h"
#include "platform/settingsstore.h"
#include "qt/portnames.h"
#include "runner/recordkeeper.h"
#include "trace/tracesession.h"

#include <QObject>

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace quill {

class DownloadRecord final : public DownloadObserver, private WireTrace {
  public:
    // `session` is the window's trace, whose events give the messages shown
    // and whose progress the counts.
    DownloadRecord(const Module1& m, TraceSession& session, const SettingsStore& store,
                   PortResolver resolver);
    ~DownloadRecord() override;
    DownloadRecord(const DownloadRecord&) = delete;
    DownloadRecord& operator=(const DownloadRecord&) = delete;

    // At "Start Download", once the trace is begun. `traceFile`: empty when
    // none is kept.
    void noteStart(const std::string& traceFile);
    // The unit's number written into the image of the running download.
    void setSerial(std::string serial);
    // The row of the running download, its key set: a unit's number is
    // drawn with it, so that no number is spent without its row.
    Attempt attemptFor() const;
    // The running download is ended by its owner so: its row says this.
    void endAs(Outcome outcome) { m_endAs = outcome; }

    void downloadEnded(DownloadEnd end) override;
    void fileChecked(const FileIdentity& identity, const DownloadTotals& totals) override;

    // The history takes what it can within a few seconds; false when it
    // holds its writer stuck (the program then ends without waiting).
    bool finish() { return m_keeper.finish(); }
    // Runs each time the download's check has read the file.
    void setChecked(std::function<void(const std::string& path, const FileIdentity&)> hook) {
        m_checked = std::move(hook);
    }

  private:
    struct Open {
        DeviceReport report;
        std::optional<RecordKeeper::Row> row;
    };

    void onTraceEvent(const TraceEvent& event) override;
    void takeProgress(DeviceReport& report) const;
    void write(Open ended);

    const Module1& m_m;
    TraceSession& m_session;
    PortResolver m_resolver;
    std::deque<Open> m_open;      // begun, oldest first
    std::optional<Open> m_ending; // awaits its message
    std::function<void(const std::string&, const FileIdentity&)> m_checked;
    std::string m_serial;
    std::optional<Outcome> m_endAs;
    QObject m_context; // this thread's
    RecordKeeper m_keeper;
};

} // namespace quill
