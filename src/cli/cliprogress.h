// SPDX-License-Identifier: MIT
#pragma once
// The progress of a download on one port, as lines on standard error. On a
// terminal it is a live line, redrawn as the device's progress comes,
// otherwise a line at each quarter; a summary line follows the last
// message. The line shows records sent of total, firmware data bytes sent
// of total, the elapsed time, the rate in data bytes per second and the
// time left. The last line before the summary shows the final counts.

#include "cli/console.h"
#include "shared/report.h"

#include <cstdint>
#include <string>

namespace quill::cli {

class CliProgress {
  public:
    explicit CliProgress(Console& console) : m_console(console) {}

    // The device's progress has moved.
    void show(const DeviceReport& device);
    // After the download's last message: the summary line, once records went out.
    void finish(const DeviceReport& device);

  private:
    Console& m_console;
    int64_t m_recordsInLine = 0; // the records counted in the line last shown
    int m_nextQuarter = 25;
    bool m_finished = false;
};

} // namespace quill::cli
