// SPDX-License-Identifier: MIT
#pragma once
// frmUnlock: the engineer's password, which unlocks a locked station's
// window until the program ends. After a wrong one the next try waits
// (lock/windowlock.h); the wait counts down in the dialog on a timer, and
// the window goes on meanwhile.

#include "lock/windowlock.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quill {

class frmUnlock final : public QDialog {
    Q_OBJECT

  public:
    // `nowMs`: a steady clock in milliseconds.
    frmUnlock(WindowLock& lock, std::function<int64_t()> nowMs, QWidget* parent = nullptr);

  private:
    void cmdOK_Click();
    void showWait();

    WindowLock& m_lock;
    std::function<int64_t()> m_now;
    QLabel* lblSaid;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QTimer* m_wait;
};

} // namespace quill
