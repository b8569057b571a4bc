// SPDX-License-Identifier: MIT
// What the station window finds out on its own, off its thread where it
// takes a while: the adapter behind each port, whether each port is there
// and free, devices that have gone quiet, and a round that a process killed
// mid-round left unfinished in the history.

#include "history/attempt.h"
#include "history/historylocation.h"
#include "history/historystore.h"
#include "history/historywriter.h"
#include "history/journal.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "runner/runplan.h"
#include "ui/frmstation.h"
#include "ui/stationchoice.h"
#include "ui/stationlabel.h"
#include "ui/stationorder.h"
#include "ui/stationports.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"

#include <QDateTime>
#include <QFile>
#include <QThreadPool>

#include <algorithm>
#include <thread>

namespace quill {

namespace {

// While the window waits, the ports are looked at every few ticks; a work
// order's progress, which other stations move, always.
constexpr int ticksPerCheck = 3;
constexpr auto journalPatience = std::chrono::seconds(3);

// Until the journal holds nothing the history lacks, for `patience` at most.
// The application's own writer may have taken a dead process's entries
// over first, and writes them within moments.
void awaitJournal(const HistoryLocation& where, std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (Journal::waiting(where).rows > 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Rows begun this close to the newest unfinished one were of its round.
constexpr int64_t roundSpanMs = 60'000;
constexpr const char* section = "Station";
constexpr const char* keyNoted = "INTERRUPTED"; // the newest such round already named

// The device behind a port as named (a port on the network stays its URL,
// which the system does not list).
std::string deviceOf(const std::string& port, const SettingsStore& store) {
    if (const auto n = comNumber(port); n && *n <= 4) {
        return resolvedDevice(devicePath(defaultPortResolver(store)(static_cast<int16_t>(*n))));
    }
    return resolvedDevice(devicePath(port));
}

// The notice for this station's unfinished rows of "quill" newer than
// `notedMs`: the newest round's start and its ports. Empty: none.
std::string interruptedNotice(const std::vector<Attempt>& unfinished, int64_t notedMs,
                              int64_t& newestMs) {
    const std::string station = stationName();
    std::vector<const Attempt*> ours;
    for (const Attempt& a : unfinished) {
        if (a.program == text::ProgramName && a.station == station && a.startedMs > notedMs) {
            ours.push_back(&a);
        }
    }
    if (ours.empty()) {
        return {};
    }
    newestMs = (*std::max_element(ours.begin(), ours.end(), [](auto* a, auto* b) {
                   return a->startedMs < b->startedMs;
               }))->startedMs;
    std::vector<const Attempt*> round;
    for (const Attempt* a : ours) {
        if (a->startedMs > newestMs - roundSpanMs) {
            round.push_back(a);
        }
    }
    std::sort(round.begin(), round.end(), [](auto* a, auto* b) {
        return a->startedMs != b->startedMs ? a->startedMs < b->startedMs : a->id < b->id;
    });
    QStringList ports;
    for (const Attempt* a : round) {
        ports << QString::fromStdString(a->port);
    }
    ports.removeDuplicates();
    const QString when = QDateTime::fromMSecsSinceEpoch(round.front()->startedMs)
                             .toLocalTime()
                             .toString(qtext(text::StationInterruptedTime));
    return qtext(text::StationInterrupted)
        .arg(when, ports.join(QStringLiteral(", ")))
        .toStdString();
}

} // namespace

// Asking the system for its ports takes a while: off this thread.
void frmStation::findAdapters() {
    const std::vector<std::string> ports = m_choice->ports();
    for (size_t i = 0; i < ports.size(); ++i) {
        const std::string device = deviceOf(ports[i], m_store);
        if (device.empty()) {
            continue;
        }
        startOn(*m_readers, [this, tile = m_tiles[i], device] {
            const auto found = detectedPort(device);
            if (!found || found->description.empty()) {
                return;
            }
            m_inbox->post([this, tile, description = found->description] {
                // Only while that tile is still shown.
                if (std::find(m_tiles.begin(), m_tiles.end(), tile) != m_tiles.end()) {
                    tile->setAdapter(description);
                }
            });
        });
    }
}

// `open`: each port is opened for a moment, to see whether another program
// holds it; else only a port found missing or held before is looked at
// again that way, and the rest only for whether they are there.
void frmStation::checkPorts(bool open) {
    if (running()) {
        return; // the round's own ports are its own
    }
    const std::vector<std::string> ports = m_choice->ports();
    for (size_t i = 0; i < ports.size() && i < m_tiles.size(); ++i) {
        StationTile* tile = m_tiles[i];
        const std::string device = deviceOf(ports[i], m_store);
        const PortCheck::State was = tile->portCheck().state;
        const bool look =
            open || (was != PortCheck::State::Ready && was != PortCheck::State::NotChecked);
        if (!look) {
            const PortCheck now = checkPort(device, false);
            if (now.state != PortCheck::State::Ready && now.state != was) {
                tile->setPortCheck(now);
            }
            continue;
        }
        startOn(*m_checks, [this, tile, device] {
            const PortCheck check = checkPort(device, true);
            m_inbox->post([this, tile, check] {
                if (std::find(m_tiles.begin(), m_tiles.end(), tile) != m_tiles.end()) {
                    tile->setPortCheck(check);
                }
            });
        });
    }
}

// Whether each port of the round is there as it begins, without opening
// it: its tile says so before the round's own words for it.
void frmStation::checkBeforeRound() {
    const std::vector<std::string> ports = m_choice->ports();
    for (const size_t i : m_tileOf) {
        const PortCheck now = checkPort(deviceOf(ports[i], m_store), false);
        const PortCheck::State was = m_tiles[i]->portCheck().state;
        if (now.state != PortCheck::State::Ready || was == PortCheck::State::Missing ||
            was == PortCheck::State::NoAccess) {
            m_tiles[i]->setPortCheck(now);
        }
    }
}

void frmStation::tick() {
    for (StationTile* tile : m_tiles) {
        tile->tick(nowMs());
    }
    if (++m_ticks % ticksPerCheck != 0) {
        return;
    }
    m_order->refresh();
    if (!running() && m_checks->activeThreadCount() == 0) {
        checkPorts(false);
    }
}

// The history is read off this thread: a database that does not answer
// takes seconds. A station's own file not there yet holds nothing.
void frmStation::findInterrupted() {
    const HistoryResult<HistoryLocation> where = historyLocation(m_store);
    if (!where || (where->kind == HistoryLocation::Kind::Sqlite &&
                   !QFile::exists(QString::fromStdString(where->path)))) {
        return;
    }
    const int64_t noted =
        QString::fromStdString(m_store.GetSetting(section, keyNoted)).toLongLong();
    startOn(*m_readers, [this, location = *where, noted] {
        // What a process that died left in this station's journal goes to
        // the history first: its beginnings may be there alone.
        HistoryWriter(location, [] {}).finish(journalPatience);
        awaitJournal(location, journalPatience);
        auto store = HistoryStore::open(location);
        if (!store) {
            return;
        }
        HistoryFilter unfinished;
        unfinished.outcome = outcomeName(Outcome::Unfinished);
        const auto rows = (*store)->query(unfinished);
        if (!rows) {
            return;
        }
        int64_t newest = 0;
        std::string notice = interruptedNotice(*rows, noted, newest);
        if (notice.empty()) {
            return;
        }
        m_inbox->post([this, notice, newest] {
            lblNotice->setWhole(QString::fromStdString(notice));
            lblNotice->show();
            // Named once: the next window need not say it again.
            m_store.SaveSetting(section, keyNoted, std::to_string(newest));
        });
    });
}

} // namespace quill
