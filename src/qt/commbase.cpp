// SPDX-License-Identifier: MIT
#include "qt/commbase.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>

namespace quill {
namespace {

// How late received bytes may be announced in an event loop that is not Qt's.
constexpr int foreignLoopMs = 100;

} // namespace

CommBase::CommBase(PortResolver resolver) : m_resolver(std::move(resolver)) {
    m_receive.setSingleShot(true);
    m_receive.setInterval(foreignLoopMs);
    QObject::connect(&m_receive, &QTimer::timeout, &m_receive, [this] {
        if (m_receivePending) {
            deliverReceive();
        }
    });
}

CommBase::~CommBase() {
    unwatchLoop();
}

void CommBase::setCommPort(int16_t port) {
    if (!portOpen()) {
        m_commPort = port;
    }
}

std::string CommBase::deviceName() const {
    return m_resolver ? devicePath(m_resolver(m_commPort)) : std::string{};
}

PortStatus CommBase::setPortOpen(bool open) {
    if (open == portOpen()) {
        return std::nullopt;
    }
    if (!open) {
        closePort();
        return std::nullopt;
    }
    return openPort();
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

void CommBase::watchLoop(QObject& context) {
    unwatchLoop();
    QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance(context.thread());
    if (loop == nullptr) {
        return;
    }
    const auto look = [this] {
        if (m_receivePending) {
            deliverReceive();
        }
    };
    m_loopAwake = QObject::connect(loop, &QAbstractEventDispatcher::awake, &context, look,
                                   Qt::DirectConnection);
    m_loopBlocking = QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, &context, look,
                                      Qt::DirectConnection);
}

void CommBase::unwatchLoop() {
    QObject::disconnect(m_loopAwake);
    QObject::disconnect(m_loopBlocking);
}

// The timer is left running once bytes have been announced: started once per
// tenth of a second at most, not once per batch.
void CommBase::scheduleReceive() {
    if (m_receivePending) {
        return;
    }
    m_receivePending = true;
    if (!m_receive.isActive()) {
        m_receive.start();
    }
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
    m_receive.stop();
    unwatchLoop();
}

} // namespace quill
