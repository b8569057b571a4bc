// SPDX-License-Identifier: MIT
#pragma once
// The History window's "Yield" tab: the attempts it is given as stacked
// bars per hour or per day (history/historyyield.h), complete in green and
// each way of failing in a colour of its own, with the totals and the
// yield above. The bars are counted on a thread of the tab's own; only the
// chart is drawn here. Given new attempts while it counts, it counts the
// newest when it is done: answers never pile up.

#include "history/historyyield.h"
#include "qt/handover.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QChartView;
class QLabel;
class QThreadPool;

namespace quill {

class YieldTab final : public QWidget {
    Q_OBJECT

  public:
    explicit YieldTab(QWidget* parent);
    ~YieldTab() override;

    // The attempts to show, taken off this thread to be counted.
    void setPoints(std::vector<YieldPoint> points);
    // Counting or drawing: the picture is not yet the last attempts'.
    bool busy() const { return m_counting || m_waiting.has_value(); }

  signals:
    void drawn(); // the chart shows the last attempts given

  private:
    void count(std::vector<YieldPoint> points);
    void draw(const YieldBars& bars);

    std::unique_ptr<QThreadPool> m_counter;
    Inbox* m_inbox; // the counts, back on this thread
    bool m_counting = false;
    std::optional<std::vector<YieldPoint>> m_waiting; // given while counting
    QLabel* lblYield;
    QChartView* m_view;
};

} // namespace quill
