// SPDX-License-Identifier: MIT
#pragma once
// The History window's "Ports" tab: failures per port and adapter over the
// attempts it is given (history/historyports.h), the worst first. Counted
// off the window's thread (CountingTab); only the table is filled here.

#include "history/historyports.h"
#include "ui/countingtab.h"

#include <vector>

class QTableWidget;

namespace quill {

class PortsTab final : public CountingTab {
    Q_OBJECT

  public:
    enum Column { Port, Adapter, Units, Failed, Rate, Commonest, NotStarted, Columns };

    explicit PortsTab(QWidget* parent);

    // The attempts to count, taken off this thread.
    void setRows(std::vector<PortRow> rows);

  private:
    void draw(const std::vector<PortFailures>& places);

    QTableWidget* tblPorts;
};

} // namespace quill
