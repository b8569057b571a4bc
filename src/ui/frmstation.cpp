// SPDX-License-Identifier: MIT
#include "ui/frmstation.h"

#include "hexfile/filecheck.h"
#include "hexfile/hexcodec.h"
#include "hexfile/stdhexfile.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "runner/runplan.h"
#include "ui/qtmessageboxes.h"
#include "ui/stationchoice.h"
#include "ui/stationheader.h"
#include "ui/stationrun.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"
#include "unitserial/serialnumber.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>

namespace quill {

namespace {

constexpr int tilesPerRow = 4;

// A unit that Retry failed flashes again: it failed, or it was stopped.
bool unfinished(const StationTile& tile) {
    return tile.state() == StationTile::State::Failed ||
           tile.state() == StationTile::State::Stopped;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(qtext(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumHeight(2 * b->sizeHint().height());
    return b;
}

// The identity of the hex file at `path`, read through the download's own
// check: unknown when it cannot be read to its end.
FileIdentity identityOf(const std::string& path) {
    StdHexFile file;
    if (path.empty() || !file.open(path)) {
        return {};
    }
    std::string line;
    return checkHexFile(file, makeHexTable(), line).identity;
}

// The device behind a port as named, for the adapter's description (a
// port on the network stays its URL, which the system does not list).
std::string deviceOf(const std::string& port, const SettingsStore& store) {
    if (const auto n = comNumber(port); n && *n <= 4) {
        return resolvedDevice(devicePath(defaultPortResolver(store)(static_cast<int16_t>(*n))));
    }
    return resolvedDevice(devicePath(port));
}

} // namespace

frmStation::frmStation(SettingsStore& store, const RunRequest& given)
    : m_store(store), m_readers(std::make_unique<QThreadPool>()), m_inbox(new Inbox(this)) {
    setObjectName(QStringLiteral("frmStation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qtext(text::StationCaption));
    createControls();
    createMenus();
    m_choice->load(store);
    m_choice->apply(given);
    makeTiles();
    readFile();
    showHeader();
    showButtons();
    connect(m_choice, &StationChoice::portsChanged, this, &frmStation::makeTiles);
    connect(m_choice, &StationChoice::fileChanged, this, &frmStation::readFile);
    connect(m_choice, &StationChoice::lineChanged, this, &frmStation::showHeader);
    // Wide enough for a row of tiles, and tall enough for up to four rows.
    const int rows =
        std::clamp((static_cast<int>(m_tiles.size()) + tilesPerRow - 1) / tilesPerRow, 1, 4);
    const int tileHeight = m_tiles.empty() ? 0 : m_tiles.front()->sizeHint().height();
    resize(std::max(1100, sizeHint().width()),
           sizeHint().height() + rows * (tileHeight + m_grid->spacing()));
}

// What is chosen is kept for next time when the window goes, not at each
// round: a write of the settings file waits for the disk, on this thread.
frmStation::~frmStation() {
    m_run.reset();            // every device stops; the rows are written
    m_readers->waitForDone(); // nothing is posted to a window that has gone
    m_choice->save(m_store);
}

MsgResult frmStation::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                             MsgResult defaultButton) {
    const MsgResult answer = m_boxes.MsgBox(text, buttons, icon, defaultButton);
    activateWindow();
    return answer;
}

void frmStation::createControls() {
    m_choice = new StationChoice(this);
    m_header = new StationHeader(this);
    lblSaid = stationLabel(this, "lblSaid");
    lblSaid->setWordWrap(true);
    auto* tiles = new QWidget;
    m_grid = new QGridLayout(tiles);
    m_grid->setAlignment(Qt::AlignTop);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(tiles);
    cmdStart = button(this, "cmdStart", text::StationStart);
    cmdRetry = button(this, "cmdRetry", text::StationRetry);
    cmdStop = button(this, "cmdStop", text::StationStop);
    connect(cmdStart, &QPushButton::clicked, this, &frmStation::cmdStart_Click);
    connect(cmdRetry, &QPushButton::clicked, this, &frmStation::cmdRetry_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmStation::cmdStop_Click);
    // One key for each step, wherever the focus is in the window.
    const auto key = [this](QKeySequence keys, void (frmStation::*slot)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    // Not Enter: a barcode scanner ends what it types into a field with it,
    // and that must never start a round.
    key(Qt::Key_F5, &frmStation::cmdStart_Click);
    key(Qt::Key_F6, &frmStation::cmdRetry_Click);
    key(Qt::Key_Escape, &frmStation::cmdStop_Click);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdStart, cmdRetry, cmdStop}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_choice);
    layout->addWidget(m_header);
    layout->addWidget(scroll, 1);
    layout->addWidget(lblSaid);
    layout->addLayout(buttons);
}

void frmStation::cmdStart_Click() {
    if (running() || m_tiles.empty()) {
        return; // a round at a time, and never on the stored COM port instead
    }
    m_retrying = false;
    startRound(m_choice->request());
}

// The ports whose tile failed or was stopped, again, held to the firmware
// they had.
void frmStation::cmdRetry_Click() {
    if (running() || m_heldTo.empty()) {
        return;
    }
    RunRequest again = m_choice->request();
    again.ports.clear();
    const std::vector<std::string> ports = m_choice->ports();
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        if (unfinished(*m_tiles[i])) {
            again.ports.push_back(ports[i]);
        }
    }
    if (!again.ports.empty()) {
        again.expectSha256 = m_heldTo;
        m_retrying = true;
        startRound(std::move(again));
    }
}

void frmStation::cmdStop_Click() {
    if (running()) {
        m_run->stop();
    }
}

void frmStation::startRound(RunRequest request) {
    // Options, "Serial number..." holds for the station's units too: each
    // unit of a round, and of its retry, draws a number of its own.
    request.serial = serialFromSettings(m_store);
    say({}, false);
    // The tiles were made from the same ports text, in the same order.
    const std::vector<std::string> ports = m_choice->ports();
    m_tileOf.clear();
    for (const std::string& port : request.ports) {
        m_tileOf.push_back(
            static_cast<size_t>(std::find(ports.begin(), ports.end(), port) - ports.begin()));
    }
    m_roundStarted = false;
    StationRun::Events events{
        [this](const std::string& text, RunnerView::Said how) {
            if (how != RunnerView::Said::Note) {
                say(text, how != RunnerView::Said::Message);
            }
        },
        [this](const RunReport& planned) {
            m_roundStarted = true;
            m_identity = planned.identity;
            m_heldTo = planned.identity.sha256;
            for (size_t i = 0; i < planned.devices.size(); ++i) {
                m_tiles[m_tileOf[i]]->showReport(planned.devices[i]);
            }
            showHeader();
        },
        [this](size_t index, DeviceEvent::Kind kind, const DeviceReport& device) {
            deviceChanged(index, kind == DeviceEvent::Kind::Ended, device);
        },
        [this](const RunReport& run) { roundFinished(run); },
    };
    MessageBoxes& boxes = *this;
    m_run =
        std::make_unique<StationRun>(std::move(request), m_store, boxes, this, std::move(events));
    showButtons();
    m_run->start();
}

void frmStation::deviceChanged(size_t index, bool ended, const DeviceReport& device) {
    m_tiles[m_tileOf[index]]->showReport(device);
    const StationTile::State state = StationTile::stateOf(device);
    if (ended && state != StationTile::State::Stopped) {
        m_header->countUnit(state == StationTile::State::Complete);
    }
}

// Devices that never started (the prompt answered Cancel, a file refused)
// wait again, saying why; no unit was touched.
void frmStation::roundFinished(const RunReport& run) {
    m_run.reset();
    m_lastRound = run;
    if (!m_roundStarted) {
        const std::string why = run.messages.empty() ? std::string() : run.messages.back();
        for (const size_t tile : m_tileOf) {
            m_tiles[tile]->setIdle(why);
        }
    }
    // Retry is held to the firmware the units failed with, never to what
    // the file holds now.
    if (m_retrying && run.outcome == Outcome::UnexpectedFirmware) {
        say(text::StationRetryFileChanged, true);
    }
    showButtons();
    if (m_closing) {
        close();
    }
}

void frmStation::makeTiles() {
    for (StationTile* tile : m_tiles) {
        delete tile;
    }
    m_tiles.clear();
    const std::vector<std::string> ports = m_choice->ports();
    for (size_t i = 0; i < ports.size(); ++i) {
        m_tiles.push_back(new StationTile(ports[i], m_grid->parentWidget()));
        m_grid->addWidget(m_tiles.back(), static_cast<int>(i) / tilesPerRow,
                          static_cast<int>(i) % tilesPerRow);
    }
    findAdapters();
    showButtons();
}

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

// The file's SHA-256 for the header before its first round, read off this
// thread; a round's own check names it afresh.
void frmStation::readFile() {
    const unsigned asked = ++m_fileAsked;
    m_identity = {};
    showHeader();
    startOn(*m_readers, [this, asked, path = m_choice->request().file] {
        const FileIdentity identity = identityOf(path);
        m_inbox->post([this, asked, identity] {
            if (asked == m_fileAsked) {
                m_identity = identity;
                showHeader();
            }
        });
    });
}

void frmStation::showHeader() {
    m_header->showChoice(m_choice->request(), m_identity);
}

void frmStation::showButtons() {
    const bool failed = std::any_of(m_tiles.begin(), m_tiles.end(),
                                    [](const StationTile* t) { return unfinished(*t); });
    cmdStart->setEnabled(!running() && !m_tiles.empty());
    cmdRetry->setEnabled(!running() && failed && !m_heldTo.empty());
    cmdStop->setEnabled(running());
    m_choice->setEnabled(!running());
    mnuFileOpen->setEnabled(!running());
}

void frmStation::say(const std::string& text, bool problem) {
    lblSaid->setText(shownText(text));
    lblSaid->setStyleSheet(problem ? QStringLiteral("color: #c62828;") : QString());
}

// A round still going is stopped only when the operator says so; the
// window then goes once its devices have ended.
void frmStation::closeEvent(QCloseEvent* event) {
    if (running() && !m_closing) {
        const size_t devices = devicesFlashed();
        const bool stop = devices == 0 || askStopAndClose(this, devices);
        activateWindow(); // Esc is to reach the round again
        if (!stop) {
            event->ignore();
            return;
        }
    }
    // The round may have ended while the question was open.
    if (!running()) {
        event->accept();
        return;
    }
    event->ignore();
    if (!m_closing) {
        m_closing = true;
        m_run->stop();
    }
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
