// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 as the programs construct it: a local port
// through QSerialPort, or a port on the network when the device behind
// the selected COM is named rfc2217://HOST:PORT. The choice is made at
// each open, by the name the resolver gives then; every other call goes to
// the chosen control, and the configuration to both, so that either opens
// with it.

#include "platform/mscomm.h"
#include "qt/networkcomm.h"
#include "qt/portnames.h"
#include "qt/qtmscomm.h"

namespace quill {

class SerialControl final : public MSComm {
  public:
    explicit SerialControl(PortResolver resolver, NetworkDeadlines deadlines = {});
    SerialControl(const SerialControl&) = delete;
    SerialControl& operator=(const SerialControl&) = delete;

    void setEventSink(MSCommEvents* sink) override;
    // The network port's steps, for the wire trace.
    void setNetworkNotes(NetworkComm::Notes notes) { m_network.setNotes(std::move(notes)); }
    void setNamedByDevice(bool byDevice);
    bool selectedOnNetwork() const override;

    void setCommPort(int16_t port) override;
    int16_t commPort() const override { return m_active->commPort(); }
    std::string portDisplayName() const override;

    bool portOpen() const override { return m_active->portOpen(); }
    PortStatus setPortOpen(bool open) override;

    PortStatus setSettings(const std::string& text) override;
    std::string settings() const override { return m_active->settings(); }

    void setHandshaking(int16_t mode) override;
    void setRThreshold(int16_t count) override;
    void setSThreshold(int16_t count) override;
    void setInputMode(int16_t mode) override;
    void setParityReplace(const std::string& text) override;

    PortStatus output(std::span<const uint8_t> data) override { return m_active->output(data); }
    void setInBufferCount(int16_t count) override { m_active->setInBufferCount(count); }
    int16_t commEvent() const override { return m_active->commEvent(); }
    std::vector<uint8_t> input() override { return m_active->input(); }

  private:
    PortResolver m_resolver;
    QtMSComm m_local;
    NetworkComm m_network;
    MSComm* m_active = &m_local; // the one that was opened last
};

} // namespace quill
