// SPDX-License-Identifier: MIT
#pragma once
// The Tracker wait dialog in the simulated world. Its user presses OK a
// while after the dialog has turned into an error report, or at a time a
// test sets; while it is waiting it takes no input.

#include "platform/waitdialog.h"
#include "simloop.h"

#include <string>
#include <vector>

namespace quill::sim {

class SimWaitDialog final : public WaitDialog {
  public:
    static constexpr const char* designCaption = "Tracker Program Error";
    static constexpr const char* designMessage = "Unknown error";

    explicit SimWaitDialog(SimLoop& loop) : m_loop(loop) {}

    void setEventSink(WaitDialogEvents* sink) override { m_sink = sink; }
    void load() override;
    void setAcknowledging(bool acknowledging) override;
    void showModal() override;
    void close() override;
    void setMessage(const std::string& text) override;

    // How long the user takes to press OK on an error report; < 0: never.
    Ms okAfter = 1000;
    // The user presses OK at this elapsed time, whatever the dialog shows.
    void pressOkAt(Ms elapsed);

    bool loaded() const { return m_loaded; }
    bool acknowledging() const { return m_acknowledging; }
    const std::string& message() const { return m_message; }
    int shows() const { return m_shows; }
    // Every error report shown, in order.
    const std::vector<std::string>& reports() const { return m_reports; }

  private:
    void pressOk();

    SimLoop& m_loop;
    WaitDialogEvents* m_sink = nullptr;
    bool m_loaded = false;
    bool m_acknowledging = true; // design-time value
    std::string m_message = designMessage;
    int m_shows = 0;
    bool m_visible = false;
    std::vector<std::string> m_reports;
};

} // namespace quill::sim
