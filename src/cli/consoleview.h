// SPDX-License-Identifier: MIT
#pragma once
// What quill-cli shows of a run, on standard error. The run's own lines are
// shown alike on one port and on several; a view of its own shows the
// devices: OnePortView the window's messages and a progress line,
// PortsView (portsview.h) a line per device and a table.

#include "cli/climessageboxes.h"
#include "cli/cliprogress.h"
#include "cli/console.h"
#include "runner/runner.h"

namespace quill::cli {

class ConsoleView : public RunnerView {
  public:
    // `yes`: the Manual prompt is answered without a terminal.
    ConsoleView(Console& console, CliMessageBoxes& boxes, bool yes)
        : m_console(console), m_boxes(boxes), m_yes(yes) {}

    void runSaid(const std::string& text, Said how) override;
    std::string promptProblem() const override;
    void stopAsking() override { m_boxes.abortPrompt(); }
    // After the run: what is left to show; of a failed run, always why.
    virtual void finish(const RunReport& run);

  protected:
    Console& m_console;

  private:
    CliMessageBoxes& m_boxes;
    bool m_yes;
};

// One port: the download's messages as they stand, the phase as a line,
// the progress as a live line, -v's short trace above it.
class OnePortView final : public ConsoleView {
  public:
    using ConsoleView::ConsoleView;
    void deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) override;

  private:
    CliProgress m_progress{m_console};
};

} // namespace quill::cli
