// SPDX-License-Identifier: MIT
#include "simwaitdialog.h"

namespace quill::sim {

void SimWaitDialog::load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    m_acknowledging = true;
    m_message = designMessage;
}

void SimWaitDialog::setAcknowledging(bool acknowledging) {
    load();
    m_acknowledging = acknowledging;
}

void SimWaitDialog::setMessage(const std::string& text) {
    load();
    m_message = text;
    m_reports.push_back(text);
    if (m_acknowledging && okAfter >= 0) {
        m_loop.schedule(okAfter, [this] { pressOk(); });
    }
}

void SimWaitDialog::showModal() {
    load();
    ++m_shows;
    m_visible = true;
    m_loop.runUntil([this] { return !m_loaded; });
    m_visible = false;
}

void SimWaitDialog::close() {
    m_loaded = false;
    m_visible = false;
}

void SimWaitDialog::pressOkAt(Ms elapsed) {
    m_loop.schedule(elapsed - m_loop.elapsed(), [this] { pressOk(); });
}

// OK can be pressed only on a shown dialog that accepts input.
void SimWaitDialog::pressOk() {
    if (m_visible && m_loaded && m_acknowledging && m_sink) {
        m_sink->frmWaitCom_cmdOK_Click();
    }
}

} // namespace quill::sim
