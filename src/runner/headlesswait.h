// SPDX-License-Identifier: MIT
#pragma once
// The Tracker wait dialog without a window. While it waits, an event loop
// runs until the download closes it. When the download turns it into an
// error report, the report is handed on and OK is pressed at once, from a
// queued call, so the handshake goes on exactly as after a user's OK. OK is
// never pressed otherwise.

#include "platform/waitdialog.h"

#include <QEventLoop>
#include <QObject>

#include <functional>
#include <string>

namespace quill {

class HeadlessWaitDialog final : public WaitDialog {
  public:
    // `reported` sees each error report.
    explicit HeadlessWaitDialog(std::function<void(const std::string&)> reported);

    void setEventSink(WaitDialogEvents* sink) override { m_sink = sink; }
    void load() override;
    void setAcknowledging(bool acknowledging) override;
    void showModal() override;
    void close() override;
    void setMessage(const std::string& text) override;

  private:
    void pressOk(unsigned generation);

    std::function<void(const std::string&)> m_reported;
    WaitDialogEvents* m_sink = nullptr;
    bool m_loaded = false;
    bool m_acknowledging = true; // the design-time condition of a freshly loaded dialog
    unsigned m_generation = 0;   // counts closes: an OK queued for a closed dialog is dropped
    QEventLoop* m_modal = nullptr;
    QObject m_queue; // context of the queued presses; they die with the dialog
};

} // namespace quill
