// SPDX-License-Identifier: MIT
#pragma once
// quill-cli on several ports: each device's messages prefixed with its
// port; on a terminal a block of live lines, one per device, redrawn in
// place below everything else; otherwise a line per device at each quarter
// and at its end; a table of every port's outcome once all have ended.
// Quiet (-q), a device's messages wait for its end and show only if it
// failed, and the table shows only when it tells of a failure.

#include "cli/consoleview.h"

#include <QObject>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace quill::cli {

class PortsView final : public ConsoleView {
  public:
    // `out` is where the devices' lines go (standard error), a terminal or not.
    PortsView(Console& console, CliMessageBoxes& boxes, bool yes, bool quiet, std::FILE* out);

    void runSaid(const std::string& text, Said how) override;
    void devicesStarting(const RunReport& run) override;
    void deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) override;
    void finish(const RunReport& run) override;

    // A line of quill-cli's own, in place of the devices' lines while they show.
    void say(const std::string& text);

  private:
    void showMessage(size_t index, const std::string& text);
    void showQuarter(size_t index);
    void drawBlock();
    void eraseBlock();
    void put(const std::string& text);

    bool m_quiet;
    std::FILE* m_out;
    bool m_terminal;
    std::vector<DeviceReport> m_devices; // as the last event left each
    std::vector<int> m_nextQuarter;
    int m_blockLines = 0;
    bool m_dirty = false;
    QObject m_context;
    QTimer m_redraw;
};

} // namespace quill::cli
