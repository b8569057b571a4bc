// SPDX-License-Identifier: MIT
#include "ui/stationtile.h"

#include "ui/uitexts.h"

#include <QGraphicsOpacityEffect>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quill {

namespace {

constexpr int focusedLineWidth = 4;

constexpr int tileMargin = 8;
constexpr int tileSpacing = 2;
// The text's size from the tile's: so many of its lines fit its height,
// so many of its characters its width.
constexpr double linesPerTile = 19.5;
constexpr double charsPerTile = 13;
constexpr double smallestText = 8;
constexpr double largestText = 48;
constexpr double lineHeight = 1.3; // of a text's size
constexpr double barHeight = 1.6;  // the records' bar, of the text's size
// The state's word, by how much it matters: a failure largest.
constexpr double largestState = 2.4;
constexpr double dimmedOpacity = 0.4;

double stateScale(StationTile::State state) {
    switch (state) {
    case StationTile::State::Failed:
        return largestState;
    case StationTile::State::Complete:
        return 2.1;
    case StationTile::State::Stopped:
        return 1.9;
    default:
        return 1.7;
    }
}

// Each state's colours apart in hue and in lightness, so that they stay
// apart on a monochrome screen and to a colour-blind eye: a dark red for a
// failure, a middle green for complete, a light grey for stopped (nothing
// went wrong with it), amber for a device gone quiet, a pale blue while it
// works, the window's own while it waits.
struct Colours {
    QColor back, text;
};

Colours coloursOf(StationTile::State state, bool stalled, const QPalette& window) {
    if (stalled) {
        return {QColor(0xff, 0xca, 0x28), QColor(Qt::black)};
    }
    switch (state) {
    case StationTile::State::Running:
        return {QColor(0xe3, 0xf2, 0xfd), QColor(Qt::black)};
    case StationTile::State::Complete:
        return {QColor(0x2e, 0x7d, 0x32), QColor(Qt::white)};
    case StationTile::State::Failed:
        return {QColor(0xb7, 0x1c, 0x1c), QColor(Qt::white)};
    case StationTile::State::Stopped:
        return {QColor(0x9e, 0x9e, 0x9e), QColor(Qt::black)};
    case StationTile::State::Idle:
    case StationTile::State::Waiting:
        break;
    }
    return {window.color(QPalette::Window), window.color(QPalette::WindowText)};
}

const char* checkWords(PortCheck::State state) {
    switch (state) {
    case PortCheck::State::Missing:
        return text::StationPortMissing;
    case PortCheck::State::Busy:
        return text::StationPortBusy;
    case PortCheck::State::NoAccess:
        return text::StationPortNoAccess;
    case PortCheck::State::Other:
        return text::StationPortUnusable;
    case PortCheck::State::Ready:
    case PortCheck::State::NotChecked:
        break;
    }
    return "";
}

} // namespace

StationTile::StationTile(const PortEntry& entry, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("StationTile"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);

    const bool slot = !entry.name.empty();
    lblSlot = new StationLabel(this, "lblSlot", 1.8, true);
    lblSlot->setWhole(QString::fromStdString(entry.name));
    lblSlot->setVisible(slot);
    // Under a slot's name the port is small print; alone it is the name.
    lblPort = new StationLabel(this, "lblPort", slot ? 1.0 : 1.5, !slot);
    lblPort->setWhole(QString::fromStdString(entry.port));
    lblAdapter = new StationLabel(this, "lblAdapter", 0.9);
    lblAdapter->hide();
    lblCheck = new StationLabel(this, "lblCheck", 1.0, true);
    lblCheck->hide();
    lblState = new StationLabel(this, "lblState", 1.7, true);
    lblPhase = new StationLabel(this, "lblPhase");
    prbRecords = new QProgressBar(this);
    prbRecords->setObjectName(QStringLiteral("prbRecords"));
    prbRecords->setRange(0, 1);
    prbRecords->setValue(0);
    lblSerial = new StationLabel(this, "lblSerial", 1, true);
    lblMessage = new StationLabel(this, "lblMessage", 1, false, 3);
    lblRound = new StationLabel(this, "lblRound", 0.9);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(tileMargin, tileMargin, tileMargin, tileMargin);
    layout->setSpacing(tileSpacing);
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblSlot, lblPort, lblAdapter, lblCheck, lblState, lblPhase,
                                         prbRecords, lblSerial, lblMessage, lblRound}) {
        layout->addWidget(w);
    }
    layout->addStretch(1);
    setMinimumSize(static_cast<int>(smallestText * charsPerTile),
                   static_cast<int>(smallestText * linesPerTile) + 2 * tileMargin);
    setIdle();
    scaleText();
}

void StationTile::setAdapter(const std::string& description) {
    lblAdapter->setWhole(QString::fromStdString(description));
    lblAdapter->setVisible(!description.empty());
    scaleText();
}

void StationTile::setPortCheck(const PortCheck& check) {
    m_check = check;
    const char* words = checkWords(check.state);
    lblCheck->setWhole(qtext(words));
    lblCheck->setHover(shownText(check.message));
    lblCheck->setVisible(*words != '\0');
    scaleText();
}

void StationTile::setIdle(const std::string& message) {
    m_view.report.reset();
    m_view.idle = message;
    m_records = -1; // the next device's silence counts from its first report
    m_stalled = false;
    setState(State::Idle);
    showState(text::StationReady);
    lblPhase->setWhole({});
    prbRecords->setFormat({}); // no file's records yet
    prbRecords->setValue(0);
    lblSerial->setWhole({});
    lblMessage->setWhole(shownText(message));
    lblMessage->setHover({});
}

void StationTile::setWaiting(int round) {
    setDimmed(false);
    setIdle();
    setState(State::Waiting);
    showState(text::StationWaiting);
    m_view.round = qtext(text::StationRoundShown).arg(round);
    lblRound->setWhole(m_view.round);
}

void StationTile::keep() {
    m_kept = m_view;
}

void StationTile::restore() {
    showView(m_kept);
}

void StationTile::showView(const View& view) {
    view.report ? showReport(*view.report) : setIdle(view.idle);
    setDimmed(view.dimmed);
    m_view.round = view.round;
    lblRound->setWhole(view.round);
}

void StationTile::setDimmed(bool dimmed) {
    m_view.dimmed = dimmed;
    if (!dimmed) {
        setGraphicsEffect(nullptr);
        return;
    }
    auto* faint = new QGraphicsOpacityEffect(this);
    faint->setOpacity(dimmedOpacity);
    setGraphicsEffect(faint);
}

// A device interrupted was stopped by the operator: the unit is to be
// flashed again, but nothing is known to be wrong with it.
StationTile::State StationTile::stateOf(const DeviceReport& d) {
    if (!d.ended()) {
        return State::Running;
    }
    return d.outcome == Outcome::Complete      ? State::Complete
           : d.outcome == Outcome::Interrupted ? State::Stopped
                                               : State::Failed;
}

void StationTile::showReport(const DeviceReport& d, int64_t nowMs) {
    m_view.report = d;
    if (d.progress.records != m_records || stateOf(d) != State::Running) {
        m_records = d.progress.records;
        m_recordAtMs = nowMs;
        m_stalled = false;
    }
    setState(stateOf(d));
    const char* word = text::StationWorking;
    switch (m_state) {
    case State::Complete:
        word = text::StationComplete;
        break;
    case State::Failed:
        word = text::StationFailed;
        break;
    case State::Stopped:
        word = text::StationStopped;
        break;
    default:
        break;
    }
    showState(word);
    lblPhase->setWhole(QString::fromStdString(d.ended() ? std::string(outcomeWords(*d.outcome))
                                                        : d.progress.phase));
    prbRecords->setFormat(qtext(text::StationRecords));
    prbRecords->setRange(0, static_cast<int>(std::max<int64_t>(d.totals.records, 1)));
    prbRecords->setValue(static_cast<int>(std::min(d.progress.records, d.totals.records)));
    lblSerial->setWhole(
        d.serial.empty() ? QString() : qtext(text::SerialPanel) + QString::fromStdString(d.serial));
    // What to do, in one sentence; what the device said, on hover.
    const bool told = m_state == State::Failed || m_state == State::Stopped;
    lblMessage->setWhole(told ? qtext(outcomeInstruction(*d.outcome).data()) : QString());
    lblMessage->setHover(told ? shownText(d.lastMessage()) : QString());
}

void StationTile::tick(int64_t nowMs) {
    const bool stalled = m_state == State::Running && nowMs - m_recordAtMs >= stalledMs;
    if (stalled) {
        lblState->setWhole(qtext(text::StationStalled).arg((nowMs - m_recordAtMs) / 1000));
    } else if (m_stalled) {
        showState(text::StationWorking);
    }
    if (stalled != m_stalled) {
        m_stalled = stalled;
        setState(m_state);
    }
}

QColor StationTile::background(State state, bool stalled, const QPalette& window) {
    return coloursOf(state, stalled, window).back;
}

void StationTile::setState(State state) {
    m_state = state;
    const Colours c = coloursOf(state, m_stalled, parentWidget()->palette());
    QPalette p = palette();
    p.setColor(QPalette::Window, c.back);
    p.setColor(QPalette::WindowText, c.text);
    setPalette(p);
}

void StationTile::showState(const char* word) {
    lblState->setScale(stateScale(m_state));
    lblState->setWhole(qtext(word));
}

void StationTile::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    scaleText();
}

// Every part a fixed height for the tile's size, so that what a device
// says changes no layout: a new text only repaints its label, and sixteen
// devices talking at once never have the window laid out anew. The text is
// as large as the parts shown let it be.
void StationTile::scaleText() {
    const auto linesOf = [this](const StationLabel* l) {
        return (l == lblMessage ? 3 : 1) * (l == lblState ? largestState : l->scale()) * lineHeight;
    };
    const std::initializer_list<StationLabel*> labels = {lblSlot,   lblPort,    lblAdapter,
                                                         lblCheck,  lblState,   lblPhase,
                                                         lblSerial, lblMessage, lblRound};
    double lines = barHeight;
    int parts = 1;
    for (const StationLabel* l : labels) {
        if (!l->isHidden()) {
            lines += linesOf(l);
            ++parts;
        }
    }
    const double inner = height() - 2 * tileMargin - parts * tileSpacing;
    const double base =
        std::clamp(std::min(width() / charsPerTile, inner / lines), smallestText, largestText);
    for (StationLabel* l : labels) {
        l->setBase(base);
        l->setFixedHeight(static_cast<int>(std::floor(base * linesOf(l))));
    }
    prbRecords->setFixedHeight(static_cast<int>(std::floor(base * barHeight)));
    QFont f = prbRecords->font();
    f.setPixelSize(static_cast<int>(base));
    prbRecords->setFont(f);
}

void StationTile::focusInEvent(QFocusEvent* event) {
    setLineWidth(focusedLineWidth);
    QFrame::focusInEvent(event);
}

void StationTile::focusOutEvent(QFocusEvent* event) {
    setLineWidth(1);
    QFrame::focusOutEvent(event);
}

} // namespace quill
