// SPDX-License-Identifier: MIT
#include "ui/frmstation.h"

#include "hexfile/filecheck.h"
#include "hexfile/hexcodec.h"
#include "hexfile/stdhexfile.h"
#include "history/historylocation.h"
#include "ui/qtmessageboxes.h"
#include "ui/stationchoice.h"
#include "ui/stationgrid.h"
#include "ui/stationheader.h"
#include "ui/stationlabel.h"
#include "ui/stationorder.h"
#include "ui/stationrun.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"
#include "unitserial/serialnumber.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace quill {

namespace {

constexpr int clockMs = 1000;
constexpr int enteredMs = 400; // the ports text unchanged this long has been entered
// The size the window opens at, where its screen has the room.
constexpr QSize openingSize(1280, 860);

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

} // namespace

frmStation::frmStation(SettingsStore& store, const RunRequest& given)
    : m_store(store), m_readers(std::make_unique<QThreadPool>()),
      m_checks(std::make_unique<QThreadPool>()), m_inbox(new Inbox(this)) {
    setObjectName(QStringLiteral("frmStation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qtext(text::StationCaption));
    m_steady.start();
    m_entered = new QTimer(this);
    m_entered->setSingleShot(true);
    m_entered->setInterval(enteredMs);
    connect(m_entered, &QTimer::timeout, this, [this] { checkPorts(true); });
    createControls();
    createMenus();
    m_choice->load(store);
    m_choice->apply(given);
    // A file given on the command line is the choice, over an order kept.
    if (given.file.empty()) {
        m_order->load();
    }
    makeTiles();
    readFile();
    showHeader();
    showButtons();
    findInterrupted();
    connect(m_choice, &StationChoice::portsChanged, this, &frmStation::makeTiles);
    connect(m_choice, &StationChoice::fileChanged, this, &frmStation::readFile);
    connect(m_choice, &StationChoice::lineChanged, this, &frmStation::showHeader);
    connect(m_order, &StationOrder::stateChanged, this, &frmStation::orderChanged);
    connect(m_order, &StationOrder::progressChanged, this, &frmStation::showProgress);
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &frmStation::tick);
    m_clock->start(clockMs);
    resize(openingSize);
}

// Never larger than the screen it opens on, its frame included, so that
// its buttons are always in view.
void frmStation::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    const QScreen* s = screen();
    if (!m_fitted) {
        m_order->takeFocus(); // for the scanner
    }
    if (m_fitted || s == nullptr) {
        return;
    }
    m_fitted = true;
    const QRect room = s->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(size().boundedTo(room.size() - frame));
    if (!room.contains(frameGeometry())) {
        move(room.topLeft());
    }
}

// What is chosen is kept for next time when the window goes, not at each
// round: a write of the settings file waits for the disk, on this thread.
frmStation::~frmStation() {
    m_run.reset();            // every device stops; the rows are written
    m_readers->waitForDone(); // nothing is posted to a window that has gone
    m_checks->waitForDone();
    m_order->finish();
    m_choice->save(m_store);
    m_order->save(m_store);
}

// The round's questions, in the window's boxes. Retry failed's names the
// ports it goes to, before any of them hears a byte.
MsgResult frmStation::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                             MsgResult defaultButton) {
    std::string asked = text;
    if (m_retrying && !m_roundStarted && buttons == MsgButtons::OkCancel) {
        const std::vector<PortEntry> entries = m_choice->keptEntries();
        QStringList names;
        for (const size_t tile : m_tileOf) {
            const PortEntry& e = entries[tile];
            names << QString::fromStdString(e.name.empty() ? e.port : e.name + " (" + e.port + ")");
        }
        asked += '\r' +
                 qtext(text::StationRetryPorts).arg(names.join(QStringLiteral(", "))).toStdString();
    }
    const MsgResult answer = m_boxes.MsgBox(asked, buttons, icon, defaultButton);
    activateWindow();
    return answer;
}

void frmStation::createControls() {
    m_order = new StationOrder(m_store, *m_inbox, this);
    m_choice = new StationChoice(this);
    m_header = new StationHeader(this);
    lblNotice = stationLabel(this, "lblNotice", 1.2, true);
    lblNotice->hide();
    lblSaid = new StationLabel(this, "lblSaid", 1, false, 2);
    m_grid = new StationGrid;
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrTiles"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_grid);
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
    // A text field takes Del for its own editing first.
    key(Qt::Key_Delete, &frmStation::stopFocused);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdStart, cmdRetry, cmdStop}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_order);
    layout->addWidget(m_choice);
    layout->addWidget(m_header);
    layout->addWidget(lblNotice);
    layout->addWidget(scroll, 1);
    layout->addWidget(lblSaid);
    layout->addLayout(buttons);
}

void frmStation::makeTiles() {
    m_tiles.clear();
    for (const PortEntry& entry : m_choice->keptEntries()) {
        m_tiles.push_back(new StationTile(entry, m_grid));
    }
    m_grid->setTiles(m_tiles);
    findAdapters();
    // Opened once the typing has stopped, not at each key: a port passed
    // on the way to another ("/dev/ttyUSB1" of "/dev/ttyUSB10") is left alone.
    m_entered->start();
    showButtons();
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

void frmStation::showButtons() {
    const bool failed = std::any_of(m_tiles.begin(), m_tiles.end(),
                                    [](const StationTile* t) { return t->unfinished(); });
    // Nothing starts while an order scanned is being looked up.
    const bool chosen = m_order->state() != StationOrder::State::LookingUp;
    cmdStart->setEnabled(!running() && !m_tiles.empty() && chosen);
    cmdRetry->setEnabled(!running() && failed && !m_heldTo.empty());
    cmdStop->setEnabled(running());
    m_choice->setEnabled(!running());
    m_order->setRunning(running());
    mnuFileOpen->setEnabled(!running());
}

void frmStation::say(const std::string& text, bool problem) {
    lblSaid->setWhole(shownText(text));
    lblSaid->setStyleSheet(problem ? QStringLiteral("color: #b71c1c;") : QString());
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

} // namespace quill
