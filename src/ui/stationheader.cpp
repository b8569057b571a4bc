// SPDX-License-Identifier: MIT
#include "ui/stationheader.h"

#include "hexfile/filecheck.h"
#include "shared/module1.h"
#include "ui/stationlabel.h"
#include "ui/stationunits.h"
#include "ui/uitexts.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quill {

namespace {

constexpr int shownSha256Digits = 12;
constexpr int gap = 24;

} // namespace

StationHeader::StationHeader(QWidget* parent) : QWidget(parent) {
    lblFirmware = stationLabel(this, "lblFirmware", 1.3, true);
    lblLine = stationLabel(this, "lblLine", 1.3, true);
    lblBatch = stationLabel(this, "lblBatch", 1.3, true);
    lblSerial = stationLabel(this, "lblSerial", 1.3, true);
    lblSerial->hide();
    lblOrder = stationLabel(this, "lblOrderProgress", 1.6, true);
    lblOrder->hide();
    lblRound = stationLabel(this, "lblRound", 1.6, true);
    lblCounts = stationLabel(this, "lblCounts", 1.6, true);
    auto* choice = new QHBoxLayout;
    // The firmware gives way first: the whole of it is on hover.
    choice->addWidget(lblFirmware, 1);
    for (StationLabel* l : {lblLine, lblBatch, lblSerial}) {
        choice->addSpacing(gap);
        choice->addWidget(l);
    }
    auto* units = new QHBoxLayout;
    units->addWidget(lblRound);
    units->addSpacing(gap);
    units->addWidget(lblCounts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(choice);
    layout->addWidget(lblOrder);
    layout->addLayout(units);
    showRound(0);
    showUnits({});
}

void StationHeader::showChoice(const RunRequest& r, const FileIdentity& identity,
                               const SerialRequest& serial, const Recipe* recipe) {
    if (recipe != nullptr) {
        lblFirmware->setWhole(
            qtext(text::StationFirmware)
                .arg(QString::fromStdString(recipe->id()),
                     QString::fromStdString(recipe->sha256.substr(0, shownSha256Digits))));
        lblFirmware->setHover(qtext(text::StationRecipeHover)
                                  .arg(QString::fromStdString(recipe->fileName),
                                       QString::fromStdString(recipe->sha256)));
    }
    const QString path = QString::fromStdString(r.file);
    const QString sha = identity.known()
                            ? QString::fromStdString(identity.sha256.substr(0, shownSha256Digits))
                            : qtext(text::StationUnknownSha);
    if (recipe == nullptr) {
        lblFirmware->setWhole(
            r.file.empty() ? qtext(text::StationNoFile)
                           : qtext(text::StationFirmware).arg(QFileInfo(path).fileName(), sha));
        lblFirmware->setHover(
            identity.known() ? QString::fromStdString(firmwareLine(r.file, identity)) : path);
    }
    lblLine->setWhole(qtext(text::StationLine)
                          .arg(r.baud.value_or(0))
                          .arg(qtext(r.device == device_tracker ? text::MenuDeviceTracker
                                                                : text::MenuDeviceManual)));
    lblBatch->setWhole(r.batch.empty()
                           ? qtext(text::StationNoBatch)
                           : qtext(text::StationBatchShown).arg(QString::fromStdString(r.batch)));
    // The next number is the history's to draw: the series is what is
    // known here.
    const QString list = QFileInfo(QString::fromStdString(serial.listFile)).fileName();
    m_serial = !serial.listFile.empty()
                   ? qtext(text::StationSerialList).arg(list)
                   : qtext(text::StationSerialSeries).arg(QString::fromStdString(serial.series));
    lblSerial->setWhole(m_serial);
    lblSerial->setVisible(serial.wanted());
}

void StationHeader::showNextSerial(std::optional<uint64_t> next) {
    lblSerial->setWhole(next ? m_serial + qtext(text::StationSerialNext).arg(*next) : m_serial);
}

// "Order 4711: 123 of 500 done, 4 in progress, 373 remaining"; once no
// place is left, that the order is complete, or full until its units in
// progress end.
void StationHeader::showOrder(const WorkOrder* order) {
    lblOrder->setVisible(order != nullptr);
    if (order == nullptr) {
        return;
    }
    // In one go: a '%' in the order's name is no place for a count.
    const QString name = QString::fromStdString(order->name);
    const QString done = QString::number(order->done);
    const QString quantity = QString::number(order->quantity);
    const QString inProgress = QString::number(order->inProgress);
    if (order->state == OrderState::Closed) {
        lblOrder->setWhole(qtext(text::StationOrderClosedShown).arg(name, done, quantity));
    } else if (order->done >= order->quantity) {
        lblOrder->setWhole(qtext(text::StationOrderComplete).arg(name, done, quantity));
    } else if (order->remaining() <= 0) {
        lblOrder->setWhole(qtext(text::StationOrderFull).arg(name, done, quantity, inProgress));
    } else {
        lblOrder->setWhole(
            qtext(text::StationOrderProgress)
                .arg(name, done, quantity, inProgress, QString::number(order->remaining())));
    }
}

void StationHeader::showRound(int round) {
    lblRound->setVisible(round > 0);
    lblRound->setWhole(round > 0 ? qtext(text::StationRoundShown).arg(round) : QString());
}

void StationHeader::showUnits(const UnitYield& yield) {
    lblCounts->setWhole(QString::fromStdString(unitsText(yield)));
}

} // namespace quill
