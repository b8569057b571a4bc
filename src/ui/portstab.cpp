// SPDX-License-Identifier: MIT
#include "ui/portstab.h"

#include "history/unityield.h"
#include "ui/historywindowtexts.h"
#include "ui/uitexts.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quill {

namespace {

// A column fits its contents up to about this many characters; a long
// by-id name is read whole in its tooltip.
constexpr int WidestColumnChars = 40;

QTableWidgetItem* item(const QString& shown, bool number = false) {
    auto* cell = new QTableWidgetItem(shown);
    cell->setToolTip(shown);
    if (number) {
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return cell;
}

} // namespace

PortsTab::PortsTab(QWidget* parent) : CountingTab(parent) {
    setObjectName(QStringLiteral("PortsTab"));
    tblPorts = new QTableWidget(0, Columns, this);
    tblPorts->setObjectName(QStringLiteral("tblPorts"));
    tblPorts->setHorizontalHeaderLabels(
        {qtext(text::PortsHeaderPort), qtext(text::PortsHeaderAdapter),
         qtext(text::PortsHeaderUnits), qtext(text::PortsHeaderFailed),
         qtext(text::PortsHeaderRate), qtext(text::PortsHeaderCommonest),
         qtext(text::PortsHeaderNotStarted)});
    tblPorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPorts->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPorts->setWordWrap(false);
    tblPorts->verticalHeader()->hide();
    tblPorts->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblPorts);
}

void PortsTab::setRows(std::vector<PortRow> rows) {
    recount([this, rows = std::move(rows)] {
        return [this, places = portFailures(rows)] { draw(places); };
    });
}

void PortsTab::draw(const std::vector<PortFailures>& places) {
    tblPorts->setRowCount(int(places.size()));
    for (int r = 0; r < int(places.size()); ++r) {
        const PortFailures& p = places[size_t(r)];
        const std::optional<double> rate = p.failedPercent();
        const QString rateShown = QString::fromStdString(yieldPercentText(rate));
        const QString cells[Columns] = {
            QString::fromStdString(p.port),
            QString::fromStdString(p.adapter),
            QStringLiteral("%1/%2").arg(p.units).arg(p.attempts),
            QString::number(p.failed),
            rate ? qtext(text::YieldPercentOf).arg(rateShown) : rateShown,
            p.commonest ? QString::fromUtf8(outcomeShortWords(*p.commonest)) : QString(),
            QString::number(p.notStarted),
        };
        for (int c = 0; c < Columns; ++c) {
            tblPorts->setItem(r, c, item(cells[c], c != Port && c != Adapter && c != Commonest));
        }
    }
    tblPorts->resizeColumnsToContents();
    const int widest = tblPorts->fontMetrics().averageCharWidth() * WidestColumnChars;
    for (int c = 0; c < Columns; ++c) {
        tblPorts->setColumnWidth(c, std::min(tblPorts->columnWidth(c), widest));
    }
}

} // namespace quill
