// SPDX-License-Identifier: MIT
#pragma once
// The main window's controls that the download drives, as lines on
// standard error: the phase ("Erasing Flash ...", "Programming Flash ...")
// and the progress. On a terminal the progress is a live line, otherwise a
// line at each quarter; a summary line follows the last message.
//
// The line shows records sent of total, firmware data bytes sent of total,
// the elapsed time, the rate in data bytes per second and the time left, as
// the trace session counts them, and it is redrawn as records go out. The
// last line before the summary shows the final counts.

#include "cli/console.h"
#include "cli/phaselabel.h"
#include "platform/wiretrace.h"
#include "trace/downloadprogress.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quill::cli {

class CliProgress final : public PhaseLabel, public WireTrace {
  public:
    explicit CliProgress(Console& console) : m_console(console) {}

    // The progress the trace session counts; it must see every event before
    // this display does.
    void attach(const DownloadProgress* progress) { m_progress = progress; }

    // After the download's last message: the summary line, once records went out.
    void finish();

    void onTraceEvent(const TraceEvent& event) override;

  private:
    void phaseChanged(const std::string& caption) override;
    // Shows the line when the percentage or the time calls for it.
    void show(int percent, int64_t nowUs);
    std::string line(int percent) const;

    Console& m_console;
    const DownloadProgress* m_progress = nullptr;
    int64_t m_recordsShown = 0;  // the records counted when the line was last looked at
    int64_t m_recordsInLine = 0; // ... and in the line last shown
    int m_shownPercent = -1;
    int m_nextQuarter = 25;
    int64_t m_shownAtUs = 0;
    bool m_finished = false;
};

} // namespace quill::cli
