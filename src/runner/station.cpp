// SPDX-License-Identifier: MIT
#include "runner/station.h"

#include "trace/tracesession.h"

namespace quill {

Station::Station(StationSetup setup, MessageBoxes& boxes, WaitDialog& wait, MainFormControls& form,
                 RunView& view)
    : m_view(view), m_port(std::move(setup.resolver)),
      m_run(RunPieces{m_port, m_timer, m_idle, m_lastAnswer, m_settle, m_queue, boxes, wait, m_file,
                      form, steadyClockUs},
            std::move(setup.run), *this) {
    m_port.setNamedByDevice(setup.namedByDevice);
    m_file.holdTo(std::move(setup.heldTo));
    m_port.setNetworkNotes([this](const std::string& note) { m_run.trace().notePort(note); });
}

Outcome Station::exec() {
    m_opening = m_run.openPort();
    if (m_opening != PortOpening::Open) {
        return Outcome::PortFailure;
    }
    m_run.startSoon();
    m_loop.exec();
    return m_outcome;
}

void Station::runMessage(const std::string& text, bool error) {
    m_view.runMessage(text, error);
}

void Station::downloadEnded(DownloadEnd end) {
    m_view.downloadEnded(end);
}

void Station::runEnding(Outcome outcome) {
    m_view.runEnding(outcome);
}

void Station::stopAsking() {
    m_view.stopAsking();
}

void Station::runFinished(Outcome outcome) {
    m_outcome = outcome;
    m_view.runFinished(outcome);
    m_loop.exit();
}

} // namespace quill
