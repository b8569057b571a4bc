// SPDX-License-Identifier: MIT
#pragma once
// The main window's controls that the download drives, as lines on
// standard error: the phase ("Erasing Flash ...", "Programming Flash ...")
// and the progress. On a terminal the progress is a live line, otherwise a
// line at each quarter; a summary line follows the last message.
//
// Attached to the progress a trace session counts, the line shows records
// sent of total, firmware data bytes sent of total, the elapsed time, the
// rate in data bytes per second and the time left, and it is redrawn as
// records go out. Not attached, it knows only the share of the file read
// and the records noted, and claims no rate.

#include "cli/console.h"
#include "platform/mainformcontrols.h"
#include "platform/wiretrace.h"
#include "trace/downloadprogress.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quill::cli {

class CliProgress final : public MainFormControls, public WireTrace {
  public:
    // `clock`: monotonic microseconds (the steady clock when not given).
    explicit CliProgress(Console& console, TraceClock clock = {});

    // The progress the trace session counts; it must see every event before
    // this display does.
    void attach(const DownloadProgress* progress) { m_progress = progress; }

    // A record went to the device (counted by the attached progress instead).
    void noteRecordSent() { ++m_records; }
    int64_t recordsSent() const;

    // After the download's last message: the summary line, once records went out.
    void finish();

    void onTraceEvent(const TraceEvent& event) override;

    void setLblMsgVisible(bool) override {}
    void setLblMsgCaption(const std::string& caption) override;

    void setPrbVisible(bool visible) override { m_visible = visible; }
    void setPrbMin(float) override {}
    void setPrbMax(float value) override { m_max = value; }
    float prbMax() const override { return m_max; }
    void setPrbValue(float value) override;

    void setCmdStartEnabled(bool) override {}
    void cmdStartSetFocus() override {}
    void setPanelText(int, const std::string&) override {}
    void setPanelMinWidth(int, int) override {}

  private:
    // Shows the line when the percentage or the time calls for it.
    void show(int percent, int64_t nowUs);
    std::string line(int percent, int64_t nowUs) const;

    Console& m_console;
    TraceClock m_clock;
    const DownloadProgress* m_progress = nullptr;
    std::string m_caption;
    bool m_visible = false;
    float m_max = 0;
    float m_value = 0;
    int64_t m_records = 0;
    int64_t m_recordsShown = 0;
    int m_shownPercent = -1;
    int m_nextQuarter = 25;
    int64_t m_shownAtUs = 0;
    int64_t m_phaseUs = 0; // when the phase caption last changed
    bool m_finished = false;
};

} // namespace quill::cli
