// SPDX-License-Identifier: MIT
#pragma once
// The History window frmHistory: the download attempts on record, newest
// first or sorted by the database on a clicked column header, narrowed by a typed text, exported as
// CSV, and joined by the attempts that begin and end while it is open, here, in quill-cli or on
// another station of a shared database; its second tab, Yield, draws the
// units of the rows the filter keeps as bars over time, and its third,
// Ports, counts their failures per port and adapter. Modeless, one at a
// time, deleted when it is closed. A history that cannot be read is said in
// the window.

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <QTimer>
#include <QWidget>

#include <optional>

class QLabel;
class QTabWidget;

namespace quill {

class HistoryModel;
class HistoryReader;
class HistorySearch;
class PortsTab;
class YieldTab;

class frmHistory final : public QWidget {
    Q_OBJECT

  public:
    // How often the store is asked for changes, in ms.
    static constexpr int PollMs = 1000;
    // How long the Yield and Ports tabs wait for more changes to the rows shown.
    static constexpr int CountDelayMs = 50;

    explicit frmHistory(const HistoryResult<HistoryLocation>& where);

  private:
    void poll();
    // A header clicked: the rows sorted by the database in its order.
    void sortBy(int column, Qt::SortOrder order);
    void showFailure(const HistoryError& error);
    void showCount();
    void cmdExport_Click();
    // The Yield or Ports tab, once shown: drawn anew when the rows it
    // counts change.
    void countsDue();
    void showCounts();

    HistoryModel* m_model;
    HistorySearch* m_search;
    HistoryReader* m_reader = nullptr;
    QLabel* lblFailure;
    QLabel* lblCount;
    QTabWidget* m_tabs;
    YieldTab* m_yield;
    PortsTab* m_ports;
    QTimer m_poll;
    QTimer m_countsDue;
    QString m_where;
    bool m_loaded = false;
    std::optional<HistoryOrder> m_sortWanted; // asked once the reader is free
};

} // namespace quill
