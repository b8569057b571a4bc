// SPDX-License-Identifier: MIT
#include "ui/yieldtab.h"

#include "ui/historywindowtexts.h"
#include "ui/uitexts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTime>
#include <QLabel>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <optional>
#include <utility>

namespace quill {

namespace {

// Okabe and Ito's blue, orange and vermillion, told apart by people with
// the common colour-vision deficiencies, and of lightnesses apart enough to
// be told in grey too; outlined, so that a thin part is still seen.
const QColor passedColour(0x00, 0x72, 0xb2);
const QColor retriedColour(0xe6, 0x9f, 0x00);
const QColor failedColour(0xd5, 0x5e, 0x00);

// "12-06 14:00" for an hour, "2026-12-06" for a day; a label met twice (the
// hour a change of summer time repeats) gets a mark, as the axis needs
// every label once.
QStringList labelsOf(const YieldBars& bars) {
    const QString format =
        qtext(bars.width == YieldBars::Width::Hour ? text::YieldHourFormat : text::YieldDayFormat);
    QStringList labels;
    for (const int64_t start : bars.startsMs) {
        QString label = QDateTime::fromMSecsSinceEpoch(start).toString(format);
        while (labels.contains(label)) {
            label += u'\'';
        }
        labels << label;
    }
    return labels;
}

// "Units 120: first pass 110 (91.7%), final 118 (98.3%); 7 not started, 2 stopped".
QString totalsOf(const UnitYield& y) {
    if (y == UnitYield{}) {
        return qtext(text::YieldNone);
    }
    return QString::fromStdString(unitsSaid(y).line(text::YieldApart));
}

QBarSet* barSet(const char* words, const QColor& colour) {
    auto* set = new QBarSet(qtext(words));
    set->setColor(colour);
    set->setBorderColor(colour.darker(170));
    return set;
}

} // namespace

YieldTab::YieldTab(QWidget* parent) : CountingTab(parent) {
    setObjectName(QStringLiteral("YieldTab"));
    lblYield = new QLabel(this);
    lblYield->setObjectName(QStringLiteral("lblYield"));
    lblYield->setTextFormat(Qt::PlainText);
    lblYield->setWordWrap(true);
    m_view = new QChartView(this);
    m_view->setObjectName(QStringLiteral("chtYield"));
    m_view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblYield);
    layout->addWidget(m_view, 1);
}

void YieldTab::setRows(std::vector<UnitRow> rows) {
    recount(
        [this, rows = std::move(rows)] { return [this, bars = yieldBars(rows)] { draw(bars); }; });
}

void YieldTab::draw(const YieldBars& bars) {
    lblYield->setText(totalsOf(bars.total));
    auto* series = new QStackedBarSeries;
    QBarSet* passed = barSet(text::YieldPassed, passedColour);
    QBarSet* retried = barSet(text::YieldRetried, retriedColour);
    QBarSet* failed = barSet(text::YieldFailed, failedColour);
    int highest = 0;
    for (const YieldBar& bar : bars.bars) {
        passed->append(bar.passed);
        retried->append(bar.retried);
        failed->append(bar.failed);
        highest = std::max(highest, bar.passed + bar.retried + bar.failed);
    }
    series->append({passed, retried, failed});
    // Hovered, a bar says its own counts and yield.
    const QStringList labels = labelsOf(bars);
    QStringList tips;
    for (size_t bar = 0; bar < bars.startsMs.size(); ++bar) {
        tips
            << qtext(text::YieldBarTip).arg(labels[qsizetype(bar)], totalsOf(bars.bars[bar].yield));
    }
    connect(series, &QStackedBarSeries::hovered, m_view,
            [view = m_view, tips](bool entered, int index, QBarSet*) {
                const QString tip = entered ? tips.value(index) : QString();
                view->setToolTip(tip);
                QToolTip::showText(QCursor::pos(), tip, view);
            });
    auto* chart = new QChart;
    chart->addSeries(series);
    auto* time = new QBarCategoryAxis;
    time->append(labels);
    time->setLabelsAngle(-90);
    chart->addAxis(time, Qt::AlignBottom);
    series->attachAxis(time);
    auto* units = new QValueAxis;
    const YieldAxis axis = yieldAxis(highest);
    units->setLabelFormat(QStringLiteral("%d"));
    units->setRange(0, axis.top);
    units->setTickCount(axis.ticks());
    chart->addAxis(units, Qt::AlignLeft);
    series->attachAxis(units);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = m_view->chart();
    m_view->setChart(chart);
    delete old;
}

} // namespace quill
