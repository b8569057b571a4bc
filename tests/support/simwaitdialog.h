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
    explicit SimWaitDialog(SimLoop& loop) : m_loop(loop) {}

    void setEventSink(WaitDialogEvents* sink) override { m_sink = sink; }
    void load() override {
        if (!m_loaded) {
            m_loaded = m_acknowledging = true;
            m_message = "Unknown error"; // as designed
        }
    }
    void setAcknowledging(bool acknowledging) override {
        load();
        m_acknowledging = acknowledging;
    }
    void showModal() override {
        load();
        ++m_shows;
        m_visible = true;
        m_loop.runUntil([this] { return !m_loaded; });
        m_visible = false;
    }
    void close() override { m_loaded = m_visible = false; }
    void setMessage(const std::string& text) override {
        load();
        m_message = text;
        m_reports.push_back(text);
        if (m_acknowledging && okAfter >= 0) {
            m_loop.schedule(okAfter, [this] { pressOk(); });
        }
    }

    // How long the user takes to press OK on an error report; < 0: never.
    Ms okAfter = 1000;
    // The user presses OK at this elapsed time, whatever the dialog shows.
    void pressOkAt(Ms elapsed) {
        m_loop.schedule(elapsed - m_loop.elapsed(), [this] { pressOk(); });
    }

    bool loaded() const { return m_loaded; }
    bool acknowledging() const { return m_acknowledging; }
    const std::string& message() const { return m_message; }
    int shows() const { return m_shows; }
    // Every error report shown, in order.
    const std::vector<std::string>& reports() const { return m_reports; }

  private:
    // OK can be pressed only on a shown dialog that accepts input.
    void pressOk() {
        if (m_visible && m_loaded && m_acknowledging && m_sink) {
            m_sink->frmWaitCom_cmdOK_Click();
        }
    }

    SimLoop& m_loop;
    WaitDialogEvents* m_sink = nullptr;
    bool m_loaded = false;
    bool m_acknowledging = true; // design-time value
    std::string m_message;
    int m_shows = 0;
    bool m_visible = false;
    std::vector<std::string> m_reports;
};

} // namespace quill::sim
