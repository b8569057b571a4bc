// SPDX-License-Identifier: MIT
#include "runner/headlesswait.h"

#include <QMetaObject>

namespace quill {

HeadlessWaitDialog::HeadlessWaitDialog(std::function<void(const std::string&)> reported)
    : m_reported(std::move(reported)) {}

void HeadlessWaitDialog::load() {
    if (!m_loaded) {
        m_loaded = true;
        m_acknowledging = true;
    }
}

void HeadlessWaitDialog::setAcknowledging(bool acknowledging) {
    load();
    m_acknowledging = acknowledging;
}

void HeadlessWaitDialog::showModal() {
    load();
    QEventLoop loop;
    m_modal = &loop;
    loop.exec();
    m_modal = nullptr;
}

void HeadlessWaitDialog::close() {
    if (!m_loaded) {
        return;
    }
    m_loaded = false;
    ++m_generation;
    if (m_modal != nullptr) {
        m_modal->quit();
    }
}

void HeadlessWaitDialog::setMessage(const std::string& text) {
    load();
    if (!m_acknowledging) {
        return; // the download never labels a wait; nothing to show
    }
    m_reported(text);
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        &m_queue, [this, generation] { pressOk(generation); }, Qt::QueuedConnection);
}

void HeadlessWaitDialog::pressOk(unsigned generation) {
    if (m_loaded && m_acknowledging && generation == m_generation && m_sink != nullptr) {
        m_sink->frmWaitCom_cmdOK_Click();
    }
}

} // namespace quill
