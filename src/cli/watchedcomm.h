// SPDX-License-Identifier: MIT
#pragma once
// The serial control as the download sees it, passed through unchanged,
// with quill-cli listening in: when the device speaks, when a message goes
// out, and when the port is lost. The download knows nothing of it.

#include "platform/mscomm.h"

namespace quill::cli {

class CommWatcher {
  public:
    virtual ~CommWatcher() = default;
    virtual void deviceSpoke() = 0;
    virtual void hostSent() = 0;
    virtual void portLost(const PortError& error) = 0;
};

class WatchedComm final : public MSComm, private MSCommEvents {
  public:
    WatchedComm(MSComm& inner, CommWatcher& watcher);
    ~WatchedComm() override;
    WatchedComm(const WatchedComm&) = delete;
    WatchedComm& operator=(const WatchedComm&) = delete;

    void setEventSink(MSCommEvents* sink) override { m_sink = sink; }
    void setCommPort(int16_t port) override { m_inner.setCommPort(port); }
    int16_t commPort() const override { return m_inner.commPort(); }
    std::string portDisplayName() const override { return m_inner.portDisplayName(); }
    bool portOpen() const override { return m_inner.portOpen(); }
    PortStatus setPortOpen(bool open) override { return m_inner.setPortOpen(open); }
    PortStatus setSettings(const std::string& text) override { return m_inner.setSettings(text); }
    std::string settings() const override { return m_inner.settings(); }
    void setHandshaking(int16_t mode) override { m_inner.setHandshaking(mode); }
    void setRThreshold(int16_t count) override { m_inner.setRThreshold(count); }
    void setSThreshold(int16_t count) override { m_inner.setSThreshold(count); }
    void setInputMode(int16_t mode) override { m_inner.setInputMode(mode); }
    void setParityReplace(const std::string& text) override { m_inner.setParityReplace(text); }
    void setInBufferCount(int16_t count) override { m_inner.setInBufferCount(count); }
    int16_t commEvent() const override { return m_inner.commEvent(); }

    PortStatus output(std::span<const uint8_t> data) override;
    std::vector<uint8_t> input() override;

  private:
    void MSComm1_OnComm() override;
    void onPortLost(const PortError& error) override;

    MSComm& m_inner;
    CommWatcher& m_watcher;
    MSCommEvents* m_sink = nullptr;
};

} // namespace quill::cli
