// SPDX-License-Identifier: MIT
#include "cli/cliwaitdialog.h"

#include <QMetaObject>

namespace quill::cli {

CliWaitDialog::CliWaitDialog(Console& console, std::function<void(const std::string&)> reported)
    : m_console(&console), m_reported(std::move(reported)) {}

CliWaitDialog::CliWaitDialog(std::function<void(const std::string&)> reported)
    : m_reported(std::move(reported)) {}

void CliWaitDialog::load() {
    if (!m_loaded) {
        m_loaded = true;
        m_acknowledging = true;
    }
}

void CliWaitDialog::setAcknowledging(bool acknowledging) {
    load();
    m_acknowledging = acknowledging;
}

void CliWaitDialog::showModal() {
    load();
    QEventLoop loop;
    m_modal = &loop;
    loop.exec();
    m_modal = nullptr;
}

void CliWaitDialog::close() {
    if (!m_loaded) {
        return;
    }
    m_loaded = false;
    ++m_generation;
    if (m_modal != nullptr) {
        m_modal->quit();
    }
}

void CliWaitDialog::setMessage(const std::string& text) {
    load();
    if (!m_acknowledging) {
        return; // the download never labels a wait; nothing to show
    }
    if (m_console != nullptr) {
        m_console->message(text);
    }
    m_reported(text);
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        &m_queue, [this, generation] { pressOk(generation); }, Qt::QueuedConnection);
}

void CliWaitDialog::pressOk(unsigned generation) {
    if (m_loaded && m_acknowledging && generation == m_generation && m_sink != nullptr) {
        m_sink->frmWaitCom_cmdOK_Click();
    }
}

} // namespace quill::cli
