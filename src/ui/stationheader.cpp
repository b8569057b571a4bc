// SPDX-License-Identifier: MIT
#include "ui/stationheader.h"

#include "hexfile/filecheck.h"
#include "shared/module1.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>

namespace quill {

namespace {

constexpr int shownSha256Digits = 12;

} // namespace

StationHeader::StationHeader(QWidget* parent) : QWidget(parent) {
    lblFirmware = stationLabel(this, "lblFirmware", 1.3, true);
    lblLine = stationLabel(this, "lblLine", 1.3, true);
    lblBatch = stationLabel(this, "lblBatch", 1.3, true);
    lblCounts = stationLabel(this, "lblCounts", 1.6, true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QLabel* l : {lblFirmware, lblLine, lblBatch}) {
        layout->addWidget(l);
        layout->addSpacing(24);
    }
    layout->addStretch(1);
    layout->addWidget(lblCounts);
    showCounts();
}

void StationHeader::showChoice(const RunRequest& r, const FileIdentity& identity) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(r.file));
    const QString sha = identity.known()
                            ? QString::fromStdString(identity.sha256.substr(0, shownSha256Digits))
                            : qtext(text::StationUnknownSha);
    lblFirmware->setText(r.file.empty()
                             ? qtext(text::StationNoFile)
                             : qtext(text::StationFirmware).arg(QFileInfo(path).fileName(), sha));
    lblFirmware->setToolTip(
        identity.known() ? QString::fromStdString(firmwareLine(r.file, identity)) : path);
    lblLine->setText(qtext(text::StationLine)
                         .arg(r.baud.value_or(0))
                         .arg(qtext(r.device == device_tracker ? text::MenuDeviceTracker
                                                               : text::MenuDeviceManual)));
    lblBatch->setText(r.batch.empty()
                          ? qtext(text::StationNoBatch)
                          : qtext(text::StationBatchShown).arg(QString::fromStdString(r.batch)));
}

void StationHeader::countUnit(bool complete) {
    (complete ? m_complete : m_failed) += 1;
    showCounts();
}

void StationHeader::showCounts() {
    QString counts = qtext(text::StationCounts).arg(m_complete).arg(m_failed);
    if (const int units = m_complete + m_failed; units > 0) {
        const bool whole = 100 * m_complete % units == 0;
        counts += qtext(text::StationYield).arg(100.0 * m_complete / units, 0, 'f', whole ? 0 : 1);
    }
    lblCounts->setText(counts);
}

} // namespace quill
