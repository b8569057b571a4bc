// SPDX-License-Identifier: MIT
#include "trace/tracedcomm.h"

namespace quill {

TracedComm::~TracedComm() {
    if (m_sink != nullptr) {
        m_inner.setEventSink(nullptr);
    }
}

void TracedComm::setEventSink(MSCommEvents* sink) {
    m_sink = sink;
    m_inner.setEventSink(sink != nullptr ? this : nullptr);
}

void TracedComm::setCommPort(int16_t port) {
    m_tap.checkState();
    m_inner.setCommPort(port);
}

int16_t TracedComm::commPort() const {
    m_tap.checkState();
    return m_inner.commPort();
}

std::string TracedComm::portDisplayName() const {
    m_tap.checkState();
    return m_inner.portDisplayName();
}

bool TracedComm::portOpen() const {
    m_tap.checkState();
    return m_inner.portOpen();
}

PortStatus TracedComm::setPortOpen(bool open) {
    m_tap.checkState();
    PortStatus status = m_inner.setPortOpen(open);
    if (status) {
        return failed(std::move(status));
    }
    if (open) {
        m_tap.report(TraceKind::PortOpened, {}, m_inner.portDisplayName());
    } else {
        m_tap.report(TraceKind::PortClosed);
    }
    return status;
}

PortStatus TracedComm::setSettings(const std::string& text) {
    m_tap.checkState();
    PortStatus status = m_inner.setSettings(text);
    if (status) {
        return failed(std::move(status));
    }
    if (!text.empty()) {
        m_tap.report(TraceKind::Settings, {}, text);
    }
    return status;
}

std::string TracedComm::settings() const {
    m_tap.checkState();
    return m_inner.settings();
}

void TracedComm::setHandshaking(int16_t mode) {
    m_tap.checkState();
    m_inner.setHandshaking(mode);
}

void TracedComm::setRThreshold(int16_t count) {
    m_tap.checkState();
    m_inner.setRThreshold(count);
}

void TracedComm::setSThreshold(int16_t count) {
    m_tap.checkState();
    m_inner.setSThreshold(count);
}

void TracedComm::setInputMode(int16_t mode) {
    m_tap.checkState();
    m_inner.setInputMode(mode);
}

void TracedComm::setParityReplace(const std::string& text) {
    m_tap.checkState();
    m_inner.setParityReplace(text);
}

void TracedComm::setInBufferCount(int16_t count) {
    m_tap.report(TraceKind::RxDiscarded);
    m_inner.setInBufferCount(count);
}

// Reported before it goes out: whatever the write sets off comes after it.
PortStatus TracedComm::output(std::span<const uint8_t> data) {
    m_tap.report(TraceKind::Written, data);
    return failed(m_inner.output(data));
}

int16_t TracedComm::commEvent() const {
    m_tap.checkState();
    return m_inner.commEvent();
}

// The batch is reported when the engine reads it: the receive event itself
// carries no bytes.
std::vector<uint8_t> TracedComm::input() {
    std::vector<uint8_t> bytes = m_inner.input();
    if (!bytes.empty()) {
        m_tap.report(TraceKind::Received, bytes);
    } else {
        m_tap.checkState();
    }
    return bytes;
}

void TracedComm::MSComm1_OnComm() {
    m_tap.checkState();
    if (const int16_t event = m_inner.commEvent(); event != comEvReceive) {
        m_tap.report(TraceKind::CommEvent, {}, {}, event);
    }
    if (m_sink != nullptr) {
        m_sink->MSComm1_OnComm();
    }
    m_tap.checkState();
}

void TracedComm::onPortLost(const PortError& error) {
    m_tap.report(TraceKind::PortLost, {}, error.text);
    if (m_sink != nullptr) {
        m_sink->onPortLost(error);
    }
    m_tap.checkState();
}

PortStatus TracedComm::failed(PortStatus status) const {
    if (status) {
        m_tap.report(TraceKind::PortFailed, {}, status->text);
    }
    return status;
}

} // namespace quill
