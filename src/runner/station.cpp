// SPDX-License-Identifier: MIT
#include "runner/station.h"

#include "trace/tracesession.h"

namespace quill {

namespace {

// The file the download reads: the one on disk, or it with the unit's number.
HexFileSource& fileOf(StdHexFile& file, std::optional<PatchedHexFile>& patched,
                      const StationSetup& setup) {
    if (!setup.serialAddress) {
        return file;
    }
    patched.emplace(file, *setup.serialAddress, setup.serialBytes.size());
    patched->setBytes(setup.serialBytes);
    return *patched;
}

} // namespace

Station::Station(StationSetup setup, MessageBoxes& boxes, WaitDialog& wait, MainFormControls& form,
                 RunView& view)
    : m_view(view), m_port(std::move(setup.resolver)),
      m_run(RunPieces{m_port, m_timer, m_idle, m_lastAnswer, m_settle, m_queue, boxes, wait,
                      fileOf(m_file, m_patched, setup), form, steadyClockUs},
            std::move(setup.run), *this) {
    // The trace shows each record sent with the number in it, as it stands
    // in the file; the check's own reading of them is no sending.
    if (m_patched) {
        m_patched->onPatched([this](const std::string& original) {
            if (m_run.state().cstate != cs_off) {
                m_run.trace().noteRecordPatched(original);
            }
        });
    }
    m_port.setNamedByDevice(setup.namedByDevice);
    m_file.holdTo(std::move(setup.heldTo));
    if (setup.firmware) {
        m_file.readFrom(std::move(setup.firmware));
    }
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

std::optional<Outcome> Station::deviceAnswered() {
    return m_view.deviceAnswered();
}

std::optional<Outcome> Station::beforeFirstByte() {
    return m_view.beforeFirstByte();
}

void Station::setSerialBytes(std::vector<uint8_t> bytes) {
    if (m_patched) {
        m_patched->setBytes(std::move(bytes));
    }
}

void Station::runFinished(Outcome outcome) {
    m_outcome = outcome;
    m_view.runFinished(outcome);
    m_loop.exit();
}

} // namespace quill
