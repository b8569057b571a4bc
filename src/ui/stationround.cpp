// SPDX-License-Identifier: MIT
// The station window's rounds: Start (F5), Retry failed (F6) and Stop
// (Esc), the round's events as its devices go, and its end.

#include "ui/frmstation.h"
#include "ui/stationchoice.h"
#include "ui/stationheader.h"
#include "ui/stationorder.h"
#include "ui/stationrun.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"

#include <QThreadPool>

#include <algorithm>

namespace quill {

void frmStation::cmdStart_Click() {
    if (running() || m_tiles.empty() || m_order->state() == StationOrder::State::LookingUp) {
        return; // a round at a time, and never on the stored COM port instead
    }
    m_retrying = false;
    startRound(chosenRequest());
}

// The ports whose unit failed or was stopped, again: the same units, held
// to the firmware they had.
void frmStation::cmdRetry_Click() {
    if (running() || m_heldTo.empty()) {
        return;
    }
    RunRequest again = chosenRequest();
    again.ports.clear();
    const std::vector<std::string> ports = m_choice->ports();
    std::vector<size_t> tiles;
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        if (m_tiles[i]->unfinished()) {
            again.ports.push_back(ports[i]);
            tiles.push_back(i);
        }
    }
    if (!again.ports.empty()) {
        again.expectSha256 = m_heldTo;
        again.units = m_units.carries(tiles);
        m_retrying = true;
        startRound(std::move(again));
    }
}

void frmStation::cmdStop_Click() {
    if (running()) {
        m_run->stop();
    }
}

void frmStation::stopFocused() {
    const auto focused = std::find(m_tiles.begin(), m_tiles.end(), focusWidget());
    if (!running() || focused == m_tiles.end()) {
        return;
    }
    const auto tile = static_cast<size_t>(focused - m_tiles.begin());
    const auto index = std::find(m_tileOf.begin(), m_tileOf.end(), tile);
    if (index != m_tileOf.end()) {
        m_run->stop(static_cast<size_t>(index - m_tileOf.begin()));
    }
}

void frmStation::startRound(RunRequest request) {
    if (m_lock != nullptr) {
        if (const auto refused = m_lock->refusal(request)) {
            MsgBox(*refused, MsgButtons::Ok, MsgIcon::Exclamation, MsgResult::Ok);
            return;
        }
    }
    say({}, false);
    m_checks->waitForDone(); // a port being checked is not free for the round
    // The tiles were made from the same ports text, in the same order.
    const std::vector<std::string> ports = m_choice->ports();
    m_tileOf.clear();
    for (const std::string& port : request.ports) {
        m_tileOf.push_back(
            static_cast<size_t>(std::find(ports.begin(), ports.end(), port) - ports.begin()));
    }
    checkBeforeRound();
    m_units.beginRound(m_tileOf, m_tiles.size(), m_retrying);
    m_header->showRound(m_units.round());
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        const bool inRound = std::find(m_tileOf.begin(), m_tileOf.end(), i) != m_tileOf.end();
        m_tiles[i]->keep();
        inRound ? m_tiles[i]->setWaiting(m_units.round()) : m_tiles[i]->setDimmed(true);
    }
    m_roundStarted = false;
    StationRun::Events events{
        [this](const std::string& text, RunnerView::Said how) {
            if (how != RunnerView::Said::Note) {
                say(text, how != RunnerView::Said::Message);
            }
        },
        [this](const RunReport& planned) { devicesStarting(planned); },
        [this](size_t index, DeviceEvent::Kind kind, const DeviceReport& device) {
            deviceChanged(index, kind == DeviceEvent::Kind::Ended, device);
        },
        [this](const RunReport& run) { roundFinished(run); },
    };
    MessageBoxes& boxes = *this;
    m_lastRequest = request;
    m_run =
        std::make_unique<StationRun>(std::move(request), m_store, boxes, this, std::move(events));
    showButtons();
    m_run->start();
}

void frmStation::devicesStarting(const RunReport& planned) {
    m_roundStarted = true;
    m_identity = planned.identity;
    m_heldTo = planned.identity.sha256;
    for (size_t i = 0; i < planned.devices.size(); ++i) {
        m_tiles[m_tileOf[i]]->showReport(planned.devices[i], nowMs());
    }
    showHeader();
}

void frmStation::deviceChanged(size_t index, bool ended, const DeviceReport& device) {
    m_tiles[m_tileOf[index]]->showReport(device, nowMs());
    if (ended) {
        m_units.ended(index, device);
        m_header->showUnits(m_units.yield());
        m_order->refresh(); // its place kept or given back
    }
}

// A round whose devices never started (the prompt answered Cancel, a file
// refused) leaves the tiles as they were, Retry failed too: no unit was
// touched. Its attempts are counted all the same, as not started.
void frmStation::roundFinished(const RunReport& run) {
    m_run.reset();
    m_lastRound = run;
    m_units.finished(run);
    if (!m_roundStarted) {
        m_units.roundNotStarted();
        for (StationTile* tile : m_tiles) {
            tile->restore();
        }
        m_header->showRound(m_units.round());
    }
    m_header->showUnits(m_units.yield());
    // Retry is held to the firmware the units failed with, never to what
    // the file holds now.
    if (m_retrying && run.outcome == Outcome::UnexpectedFirmware) {
        say(text::StationRetryFileChanged, true);
    }
    showButtons();
    if (m_closing) {
        close();
        return;
    }
    showHeader(); // the series has moved on
    m_order->refresh();
    m_order->takeFocus(); // the next order is scanned there
    // Not opened again: a unit just flashed is left alone.
    checkPorts(false);
}

// The devices of the round not ended yet: all of them before they start.
size_t frmStation::devicesFlashed() const {
    if (!m_roundStarted) {
        return m_tileOf.size();
    }
    return static_cast<size_t>(std::count_if(m_tileOf.begin(), m_tileOf.end(), [this](size_t i) {
        return m_tiles[i]->state() == StationTile::State::Running;
    }));
}

} // namespace quill
