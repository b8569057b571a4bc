// SPDX-License-Identifier: MIT
#include "ui/yieldtab.h"

#include "ui/uitexts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTime>
#include <QLabel>
#include <QStackedBarSeries>
#include <QThreadPool>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace quill {

namespace {

// Complete in the tiles' green, unfinished in grey, and each way of
// failing in a colour of its own, the same in every picture.
QColor colourOf(Outcome outcome) {
    static const QColor failures[] = {
        QColor(0xc6, 0x28, 0x28), QColor(0xef, 0x6c, 0x00), QColor(0x6a, 0x1b, 0x9a),
        QColor(0x15, 0x65, 0xc0), QColor(0xad, 0x14, 0x57), QColor(0x00, 0x83, 0x8f),
        QColor(0xf9, 0xa8, 0x25), QColor(0x4e, 0x34, 0x2e), QColor(0x28, 0x35, 0x93),
    };
    switch (outcome) {
    case Outcome::Complete:
        return {0x2e, 0x7d, 0x32};
    case Outcome::Unfinished:
        return {0x9e, 0x9e, 0x9e};
    default:
        return failures[static_cast<size_t>(outcome) % std::size(failures)];
    }
}

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

QString totalsOf(const YieldBars& bars) {
    if (bars.attempts == 0) {
        return qtext(text::YieldNone);
    }
    QStringList parts;
    for (size_t c = 0; c < bars.outcomes.size(); ++c) {
        parts << QStringLiteral("%1 %2")
                     .arg(bars.totals[c])
                     .arg(QString::fromUtf8(outcomeShortWords(bars.outcomes[c])));
    }
    QString text =
        qtext(text::YieldAttempts).arg(bars.attempts).arg(parts.join(QStringLiteral(", ")));
    if (const auto yield = bars.yieldPercent()) {
        text += qtext(text::YieldPercent).arg(*yield, 0, 'f', 1);
    }
    return text;
}

} // namespace

YieldTab::YieldTab(QWidget* parent)
    : QWidget(parent), m_counter(std::make_unique<QThreadPool>()), m_inbox(new Inbox(this)) {
    setObjectName(QStringLiteral("YieldTab"));
    m_counter->setMaxThreadCount(1);
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

YieldTab::~YieldTab() {
    m_counter->waitForDone(); // nothing is posted to a tab that has gone
}

void YieldTab::setPoints(std::vector<YieldPoint> points) {
    if (m_counting) {
        m_waiting = std::move(points);
        return;
    }
    count(std::move(points));
}

void YieldTab::count(std::vector<YieldPoint> points) {
    m_counting = true;
    startOn(*m_counter, [this, points = std::move(points)] {
        YieldBars bars = yieldBars(points);
        m_inbox->post([this, bars = std::move(bars)] {
            m_counting = false;
            if (m_waiting) {
                std::vector<YieldPoint> newer = std::move(*m_waiting);
                m_waiting.reset();
                count(std::move(newer));
                return;
            }
            draw(bars);
            emit drawn();
        });
    });
}

void YieldTab::draw(const YieldBars& bars) {
    lblYield->setText(totalsOf(bars));
    auto* series = new QStackedBarSeries;
    int highest = 0;
    for (size_t bar = 0; bar < bars.startsMs.size(); ++bar) {
        int stack = 0;
        for (const std::vector<int>& counts : bars.counts) {
            stack += counts[bar];
        }
        highest = std::max(highest, stack);
    }
    for (size_t c = 0; c < bars.outcomes.size(); ++c) {
        auto* set = new QBarSet(QString::fromUtf8(outcomeShortWords(bars.outcomes[c])));
        set->setColor(colourOf(bars.outcomes[c]));
        set->setBorderColor(colourOf(bars.outcomes[c]));
        QList<qreal> values;
        values.reserve(static_cast<qsizetype>(bars.startsMs.size()));
        for (const int n : bars.counts[c]) {
            values << n;
        }
        set->append(values);
        series->append(set);
    }
    // Hovered, a bar says its own counts and yield.
    const QStringList labels = labelsOf(bars);
    QStringList tips;
    for (size_t bar = 0; bar < bars.startsMs.size(); ++bar) {
        tips << qtext(text::YieldBarTip).arg(labels[qsizetype(bar)], totalsOf(bars.bar(bar)));
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
