// SPDX-License-Identifier: MIT
#pragma once
// A tab of the History window that counts the rows it is given on a thread
// of its own and draws the counts here (the Yield and Ports tabs). Given
// new rows while it counts, it counts the newest when it is done: answers
// never pile up.

#include "qt/handover.h"

#include <QWidget>

#include <functional>
#include <memory>

class QThreadPool;

namespace quill {

class CountingTab : public QWidget {
    Q_OBJECT

  public:
    explicit CountingTab(QWidget* parent);
    ~CountingTab() override;

    // Counting or drawing: the tab does not yet show the last rows given.
    bool busy() const { return m_counting || m_waiting != nullptr; }

  signals:
    void drawn(); // the tab shows the last rows given

  protected:
    // A count, run off this thread on the rows it holds; what it returns
    // draws its result, here.
    using Count = std::function<std::function<void()>()>;
    void recount(Count count);

  private:
    std::unique_ptr<QThreadPool> m_counter;
    Inbox* m_inbox; // the counts, back on this thread
    bool m_counting = false;
    Count m_waiting; // given while counting
};

} // namespace quill
