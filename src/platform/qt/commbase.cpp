// SPDX-License-Identifier: MIT
#include "platform/qt/commbase.h"

#include <QMetaObject>

namespace quill {

void CommBase::setCommPort(int16_t port) {
    if (!portOpen()) {
        m_commPort = port;
    }
}

std::string CommBase::deviceName() const {
    return m_resolver ? m_resolver(m_commPort) : std::string{};
}

std::string CommBase::portDisplayName() const {
    return quill::portDisplayName(m_commPort, deviceName(), m_namedByDevice);
}

bool CommBase::takeSettings(const std::string& text, PortStatus& error) {
    if (text.empty()) {
        return false;
    }
    const auto line = parseLineConfig(text);
    if (!line) {
        error = badLineConfig(text);
        return false;
    }
    m_line = *line;
    m_settingsText = text;
    return true;
}

void CommBase::scheduleReceive(QObject& context) {
    if (m_receivePending) {
        return;
    }
    m_receivePending = true;
    QMetaObject::invokeMethod(
        &context, [this] { deliverReceive(); }, Qt::QueuedConnection);
}

void CommBase::deliverReceive() {
    // Cleared before the handler runs: bytes arriving inside a modal box it
    // opens are announced again from the nested event loop.
    m_receivePending = false;
    if (m_sink == nullptr || !portOpen() || m_lossPending || !hasInput()) {
        return;
    }
    m_commEvent = comEvReceive;
    m_sink->MSComm1_OnComm();
}

void CommBase::scheduleLoss(QObject& context) {
    m_lossPending = true;
    QMetaObject::invokeMethod(
        &context, [this] { closeLostPort(); }, Qt::QueuedConnection);
}

void CommBase::closeLostPort() {
    if (!m_lossPending) {
        return; // closed, or closed and reopened, by the program meanwhile
    }
    const PortError error = lostError();
    closePort();
    if (m_sink != nullptr) {
        m_sink->onPortLost(error);
    }
}

void CommBase::clearPending() {
    m_lossPending = false;
    m_receivePending = false;
}

} // namespace quill
