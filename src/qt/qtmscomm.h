// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 over QSerialPort, for a port on this machine.

#include "qt/commbase.h"

#include <QSerialPort>

namespace quill {

class QtMSComm final : public CommBase {
  public:
    explicit QtMSComm(PortResolver resolver);
    ~QtMSComm() override;
    QtMSComm(const QtMSComm&) = delete;
    QtMSComm& operator=(const QtMSComm&) = delete;

    bool portOpen() const override { return m_port.isOpen(); }
    PortStatus setPortOpen(bool open) override;

    PortStatus setSettings(const std::string& text) override;

    PortStatus output(std::span<const uint8_t> data) override;

    // Empties the driver's receive queue and QSerialPort's own buffer; a
    // receive notification already queued then finds nothing to announce.
    void setInBufferCount(int16_t count) override;

    std::vector<uint8_t> input() override;

  private:
    PortStatus openPort();
    void closePort() override;
    bool hasInput() const override { return m_port.bytesAvailable() > 0; }
    PortError lostError() const override;
    PortStatus applyLine();
    PortError openError(const std::string& device) const;
    void onPortError(QSerialPort::SerialPortError error);
    bool hungUp() const;

    bool m_pseudoTerminal = false;
    bool m_closing = false; // errors raised while closing are not a loss

    // Last member: its signals reach the members above, so it goes first.
    QSerialPort m_port;
};

} // namespace quill
