// SPDX-License-Identifier: MIT
#pragma once
// The History window's "Yield" tab: the units of the attempts it is given
// as stacked bars per hour or per day (history/historyyield.h), each bar
// its units complete at the first pass, complete after a retry and failed,
// with the totals, first-pass and final yield above and what was no unit
// (not started, stopped, running) said apart. Counted off the window's
// thread (CountingTab); only the chart is drawn here.

#include "history/historyyield.h"
#include "ui/countingtab.h"

#include <vector>

class QChartView;
class QLabel;

namespace quill {

class YieldTab final : public CountingTab {
    Q_OBJECT

  public:
    explicit YieldTab(QWidget* parent);

    // The attempts to show, taken off this thread to be counted.
    void setRows(std::vector<UnitRow> rows);

  private:
    void draw(const YieldBars& bars);

    QLabel* lblYield;
    QChartView* m_view;
};

} // namespace quill
