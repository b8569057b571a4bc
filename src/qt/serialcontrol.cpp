// SPDX-License-Identifier: MIT
#include "qt/serialcontrol.h"

#include "rfc2217/porturl.h"

namespace quill {

SerialControl::SerialControl(PortResolver resolver, NetworkDeadlines deadlines)
    : m_resolver(resolver), m_local(resolver), m_network(resolver, deadlines) {}

void SerialControl::setEventSink(MSCommEvents* sink) {
    m_local.setEventSink(sink);
    m_network.setEventSink(sink);
}

void SerialControl::setNamedByDevice(bool byDevice) {
    m_local.setNamedByDevice(byDevice);
    m_network.setNamedByDevice(byDevice);
}

bool SerialControl::selectedOnNetwork() const {
    return m_resolver && rfc2217::isNetworkPortName(m_resolver(m_local.commPort()));
}

void SerialControl::setCommPort(int16_t port) {
    if (!m_active->portOpen()) {
        m_local.setCommPort(port);
        m_network.setCommPort(port);
    }
}

std::string SerialControl::portDisplayName() const {
    return selectedOnNetwork() ? m_network.portDisplayName() : m_local.portDisplayName();
}

PortStatus SerialControl::setPortOpen(bool open) {
    if (open && !m_active->portOpen()) {
        m_active = selectedOnNetwork() ? static_cast<MSComm*>(&m_network) : &m_local;
    }
    return m_active->setPortOpen(open);
}

// The closed control only keeps the text; its verdict on it is the same.
PortStatus SerialControl::setSettings(const std::string& text) {
    MSComm& other = m_active == &m_local ? static_cast<MSComm&>(m_network) : m_local;
    other.setSettings(text);
    return m_active->setSettings(text);
}

void SerialControl::setHandshaking(int16_t mode) {
    m_local.setHandshaking(mode);
    m_network.setHandshaking(mode);
}

void SerialControl::setRThreshold(int16_t count) {
    m_local.setRThreshold(count);
    m_network.setRThreshold(count);
}

void SerialControl::setSThreshold(int16_t count) {
    m_local.setSThreshold(count);
    m_network.setSThreshold(count);
}

void SerialControl::setInputMode(int16_t mode) {
    m_local.setInputMode(mode);
    m_network.setInputMode(mode);
}

void SerialControl::setParityReplace(const std::string& text) {
    m_local.setParityReplace(text);
    m_network.setParityReplace(text);
}

} // namespace quill
