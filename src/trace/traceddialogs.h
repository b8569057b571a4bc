// SPDX-License-Identifier: MIT
#pragma once
// The message boxes and the Tracker wait dialog with a trace: calls pass
// through unchanged; each box is reported with its text when it opens and
// with the button when it closes, the wait dialog when it shows, closes,
// reports an error and has its OK pressed.

#include "platform/messagebox.h"
#include "platform/waitdialog.h"
#include "trace/tracetap.h"

namespace quill {

class TracedBoxes final : public MessageBoxes {
  public:
    TracedBoxes(MessageBoxes& inner, TraceTap& tap) : m_inner(inner), m_tap(tap) {}
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

  private:
    MessageBoxes& m_inner;
    TraceTap& m_tap;
};

class TracedWaitDialog final : public WaitDialog, private WaitDialogEvents {
  public:
    TracedWaitDialog(WaitDialog& inner, TraceTap& tap) : m_inner(inner), m_tap(tap) {}
    ~TracedWaitDialog() override;
    TracedWaitDialog(const TracedWaitDialog&) = delete;
    TracedWaitDialog& operator=(const TracedWaitDialog&) = delete;

    void setEventSink(WaitDialogEvents* sink) override;
    void load() override;
    void setAcknowledging(bool acknowledging) override;
    void showModal() override;
    void close() override;
    void setMessage(const std::string& text) override;

  private:
    void frmWaitCom_cmdOK_Click() override;

    WaitDialog& m_inner;
    TraceTap& m_tap;
    WaitDialogEvents* m_sink = nullptr;
};

} // namespace quill
