// SPDX-License-Identifier: MIT
#include "trace/traceddialogs.h"

namespace quill {

MsgResult TracedBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                              MsgResult defaultButton) {
    m_tap.report(TraceKind::BoxShown, {}, text, buttons == MsgButtons::OkCancel ? 1 : 0);
    const MsgResult result = m_inner.MsgBox(text, buttons, icon, defaultButton);
    m_tap.report(TraceKind::BoxClosed, {}, {}, result == MsgResult::Cancel ? 1 : 0);
    return result;
}

TracedWaitDialog::~TracedWaitDialog() {
    if (m_sink != nullptr) {
        m_inner.setEventSink(nullptr);
    }
}

void TracedWaitDialog::setEventSink(WaitDialogEvents* sink) {
    m_sink = sink;
    m_inner.setEventSink(sink != nullptr ? this : nullptr);
}

void TracedWaitDialog::load() {
    m_tap.checkState();
    m_inner.load();
}

void TracedWaitDialog::setAcknowledging(bool acknowledging) {
    m_tap.checkState();
    m_inner.setAcknowledging(acknowledging);
}

void TracedWaitDialog::showModal() {
    m_tap.report(TraceKind::WaitShown);
    m_inner.showModal();
    m_tap.report(TraceKind::WaitClosed);
}

void TracedWaitDialog::close() {
    m_tap.checkState();
    m_inner.close();
}

void TracedWaitDialog::setMessage(const std::string& text) {
    m_tap.report(TraceKind::WaitReport, {}, text);
    m_inner.setMessage(text);
}

void TracedWaitDialog::frmWaitCom_cmdOK_Click() {
    m_tap.report(TraceKind::WaitOk);
    if (m_sink != nullptr) {
        m_sink->frmWaitCom_cmdOK_Click();
    }
    m_tap.checkState();
}

} // namespace quill
