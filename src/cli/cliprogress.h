// SPDX-License-Identifier: MIT
#pragma once
// The main window's controls that the download drives, as lines on
// standard error: the phase ("Erasing Flash ...", "Programming Flash ...")
// and the progress bar. On a terminal the progress is a live line with the
// percentage, the records sent, the rate and the time left; otherwise a
// line at each quarter.

#include "cli/console.h"
#include "platform/mainformcontrols.h"

#include <QElapsedTimer>

#include <cstdint>
#include <string>

namespace quill::cli {

class CliProgress final : public MainFormControls {
  public:
    explicit CliProgress(Console& console) : m_console(console) {}

    // A record went to the device.
    void noteRecordSent() { ++m_records; }
    int64_t recordsSent() const { return m_records; }

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
    std::string line(int percent) const;

    Console& m_console;
    std::string m_caption;
    bool m_visible = false;
    float m_max = 0;
    float m_value = 0;
    int64_t m_records = 0;
    int m_shownPercent = -1;
    int m_nextQuarter = 25;
    qint64 m_shownAt = 0;
    QElapsedTimer m_clock;
};

} // namespace quill::cli
