// SPDX-License-Identifier: MIT
#include "cli/station.h"

#include "trace/tracesession.h"

namespace quill::cli {

Station::Station(StationSetup setup, MessageBoxes& boxes, WaitDialog& wait, MainFormControls& form,
                 RunView& view)
    : m_view(view), m_port(std::move(setup.resolver)),
      m_run(RunPieces{m_port, m_timer, m_idle, m_lastAnswer, m_settle, m_queue, boxes, wait, m_file,
                      form, steadyClockUs},
            std::move(setup.run), *this) {
    m_port.setNamedByDevice(setup.namedByDevice);
}

ExitCode Station::exec() {
    m_opening = m_run.openPort();
    if (m_opening != PortOpening::Open) {
        return ExitCode::PortError;
    }
    m_run.startSoon();
    return static_cast<ExitCode>(m_loop.exec());
}

void Station::runMessage(const std::string& text, bool error) {
    m_view.runMessage(text, error);
}

void Station::downloadEnded(DownloadEnd end) {
    m_view.downloadEnded(end);
}

void Station::runEnding(ExitCode code) {
    m_view.runEnding(code);
}

void Station::stopAsking() {
    m_view.stopAsking();
}

void Station::runFinished(ExitCode code) {
    m_view.runFinished(code);
    m_loop.exit(toInt(code));
}

} // namespace quill::cli
