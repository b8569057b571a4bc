// SPDX-License-Identifier: MIT
#include "ui/stationtile.h"

#include "ui/uitexts.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quill {

namespace {

// Read from a step away: the state's word twice the window's font, the
// port's half as large again.
constexpr double stateScale = 2.0;
constexpr double portScale = 1.5;
constexpr int tileWidth = 250;
constexpr int tileMargin = 10;

// The tile's colours: a clear green and red at the end, a neutral grey for
// a unit stopped (nothing went wrong with it), a pale blue while the
// device works, the window's own while it waits.
struct Colours {
    QColor back, text;
};

Colours coloursOf(StationTile::State state, const QPalette& window) {
    switch (state) {
    case StationTile::State::Running:
        return {QColor(0xd6, 0xe6, 0xf5), QColor(Qt::black)};
    case StationTile::State::Complete:
        return {QColor(0x2e, 0x7d, 0x32), QColor(Qt::white)};
    case StationTile::State::Failed:
        return {QColor(0xc6, 0x28, 0x28), QColor(Qt::white)};
    case StationTile::State::Stopped:
        return {QColor(0x61, 0x61, 0x61), QColor(Qt::white)};
    case StationTile::State::Idle:
        break;
    }
    return {window.color(QPalette::Window), window.color(QPalette::WindowText)};
}

} // namespace

QLabel* stationLabel(QWidget* parent, const char* name, double scale, bool bold) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText); // a port or a message is shown as written
    QFont font = l->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    l->setFont(font);
    return l;
}

StationTile::StationTile(const std::string& port, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("StationTile"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);

    const QString named = QFile::decodeName(QByteArray::fromStdString(port));
    lblPort = stationLabel(this, "lblPort", portScale, true);
    lblPort->setToolTip(named);
    lblAdapter = stationLabel(this, "lblAdapter");
    lblAdapter->hide();
    lblState = stationLabel(this, "lblState", stateScale, true);
    lblPhase = stationLabel(this, "lblPhase");
    prbRecords = new QProgressBar(this);
    prbRecords->setObjectName(QStringLiteral("prbRecords"));
    prbRecords->setRange(0, 1);
    prbRecords->setValue(0);
    lblSerial = stationLabel(this, "lblSerial", 1, true);
    lblMessage = stationLabel(this, "lblMessage");
    lblMessage->setWordWrap(true);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Every part has a fixed size, so that what a device says changes no
    // layout: a new text only repaints its label, and sixteen devices
    // talking at once never have the window laid out anew.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(tileMargin, tileMargin, tileMargin, tileMargin);
    const int inner = tileWidth - 2 * (tileMargin + frameWidth());
    const auto fixed = [&](QWidget* w, int lines) {
        w->setFixedSize(inner, lines * w->fontMetrics().lineSpacing());
        layout->addWidget(w);
    };
    fixed(lblPort, 1);
    // A long path keeps its end, where ports differ: "...by-id/usb-FTDI_A50285BI".
    lblPort->setText(lblPort->fontMetrics().elidedText(named, Qt::ElideLeft, inner));
    fixed(lblAdapter, 1);
    fixed(lblState, 1);
    fixed(lblPhase, 1);
    prbRecords->setFixedSize(inner, prbRecords->sizeHint().height());
    layout->addWidget(prbRecords);
    fixed(lblSerial, 1);
    fixed(lblMessage, 2); // two lines of a message at most; the whole of it on hover
    setFixedWidth(tileWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setIdle();
}

void StationTile::setAdapter(const std::string& description) {
    lblAdapter->setText(QString::fromStdString(description));
    lblAdapter->setVisible(!description.empty());
}

void StationTile::setIdle(const std::string& message) {
    setState(State::Idle);
    lblState->setText(qtext(text::StationReady));
    lblPhase->clear();
    prbRecords->setFormat({}); // no file's records yet
    prbRecords->setValue(0);
    lblSerial->clear();
    lblMessage->setText(shownText(message));
    lblMessage->setToolTip({});
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

void StationTile::showReport(const DeviceReport& d) {
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
    case State::Idle:
    case State::Running:
        break;
    }
    lblState->setText(qtext(word));
    lblPhase->setText(QString::fromStdString(d.ended() ? std::string(outcomeWords(*d.outcome))
                                                       : d.progress.phase));
    prbRecords->setFormat(qtext(text::StationRecords));
    prbRecords->setRange(0, static_cast<int>(std::max<int64_t>(d.totals.records, 1)));
    prbRecords->setValue(static_cast<int>(std::min(d.progress.records, d.totals.records)));
    lblSerial->setText(
        d.serial.empty() ? QString() : qtext(text::SerialPanel) + QString::fromStdString(d.serial));
    const QString message = QString::fromStdString(d.lastMessage());
    lblMessage->setText(d.ended() ? message : QString());
    lblMessage->setToolTip(d.ended() ? message : QString());
}

void StationTile::setState(State state) {
    m_state = state;
    const Colours c = coloursOf(state, parentWidget()->palette());
    QPalette p = palette();
    p.setColor(QPalette::Window, c.back);
    p.setColor(QPalette::WindowText, c.text);
    setPalette(p);
}

} // namespace quill
