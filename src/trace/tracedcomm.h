// SPDX-License-Identifier: MIT
#pragma once
// The serial control with a trace: every call and event passes through
// unchanged, and what goes over the wire, the line settings and the port's
// opening, closing, loss and failures are reported to the trace.

#include "platform/mscomm.h"
#include "trace/tracetap.h"

namespace quill {

class TracedComm final : public MSComm, private MSCommEvents {
  public:
    TracedComm(MSComm& inner, TraceTap& tap) : m_inner(inner), m_tap(tap) {}
    ~TracedComm() override;
    TracedComm(const TracedComm&) = delete;
    TracedComm& operator=(const TracedComm&) = delete;

    void setEventSink(MSCommEvents* sink) override;
    void setCommPort(int16_t port) override;
    int16_t commPort() const override;
    std::string portDisplayName() const override;
    bool selectedOnNetwork() const override { return m_inner.selectedOnNetwork(); }
    bool portOpen() const override;
    PortStatus setPortOpen(bool open) override;
    PortStatus setSettings(const std::string& text) override;
    std::string settings() const override;
    void setHandshaking(int16_t mode) override;
    void setRThreshold(int16_t count) override;
    void setSThreshold(int16_t count) override;
    void setInputMode(int16_t mode) override;
    void setParityReplace(const std::string& text) override;
    PortStatus output(std::span<const uint8_t> data) override;
    void setInBufferCount(int16_t count) override;
    int16_t commEvent() const override;
    std::vector<uint8_t> input() override;

  private:
    void MSComm1_OnComm() override;
    void onPortLost(const PortError& error) override;
    PortStatus failed(PortStatus status) const;

    MSComm& m_inner;
    TraceTap& m_tap;
    MSCommEvents* m_sink = nullptr;
};

} // namespace quill
