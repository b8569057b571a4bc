// SPDX-License-Identifier: MIT
#pragma once
// The History window frmHistory: the download attempts on record, newest
// first, narrowed by a typed text, exported as CSV, and joined by the
// attempts that begin and end while it is open, here, in quill-cli or on
// another station of a shared database. Modeless, one at a time, deleted
// when it is closed. A history that cannot be read is said in the window.

#include "history/historyerror.h"
#include "history/historylocation.h"

#include <QTimer>
#include <QWidget>

class QLabel;

namespace quill {

class HistoryModel;
class HistoryReader;
class HistorySearch;

class frmHistory final : public QWidget {
    Q_OBJECT

  public:
    // How often the store is asked for changes, in ms.
    static constexpr int PollMs = 1000;

    explicit frmHistory(const HistoryResult<HistoryLocation>& where);

  private:
    void poll();
    void showFailure(const HistoryError& error);
    void showCount();
    void cmdExport_Click();

    HistoryModel* m_model;
    HistorySearch* m_search;
    HistoryReader* m_reader = nullptr;
    QLabel* lblFailure;
    QLabel* lblCount;
    QTimer m_poll;
    QString m_where;
    bool m_loaded = false;
};

} // namespace quill
