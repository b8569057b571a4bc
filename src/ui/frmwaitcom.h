// SPDX-License-Identifier: MIT
#pragma once
// The Tracker wait dialog frmWaitCom. Each load creates the window with its
// design-time texts and condition; close() destroys it. While waiting it
// takes no input at all, so only the program ends the wait; once
// acknowledging, OK (or the frame's close button, or Escape) reports to the
// sink, which closes it.

#include "platform/waitdialog.h"

#include <QPointer>

#include <memory>

class QDialog;

namespace quill {

class WaitComWindow;

class frmWaitCom final : public WaitDialog {
  public:
    frmWaitCom();
    ~frmWaitCom() override;
    frmWaitCom(const frmWaitCom&) = delete;
    frmWaitCom& operator=(const frmWaitCom&) = delete;

    void setEventSink(WaitDialogEvents* sink) override { m_sink = sink; }
    void load() override;
    void setAcknowledging(bool acknowledging) override;
    // exec(): a nested event loop, so serial and timer events keep flowing.
    void showModal() override;
    void close() override;
    void setMessage(const std::string& text) override;

    // The loaded window, or null; for tests.
    QDialog* window() const;

  private:
    void okPressed();

    WaitDialogEvents* m_sink = nullptr;
    std::unique_ptr<WaitComWindow> m_window;
    // The window whose exec() is running, if any: it must not be deleted
    // under its own event loop.
    QPointer<QDialog> m_executing;
};

} // namespace quill
