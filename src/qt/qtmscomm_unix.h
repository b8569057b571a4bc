// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 over QSerialPort, for a port on this machine.

#include "qt/commbase.h"
#include "qt/lineconfig.h"

#include <QSerialPort>

namespace quill {

class QtMSComm final : public CommBase {
  public:
    explicit QtMSComm(PortResolver resolver);
    ~QtMSComm() override;
    QtMSComm(const QtMSComm&) = delete;
    QtMSComm& operator=(const QtMSComm&) = delete;

    bool portOpen() const override { return m_port.isOpen(); }

    PortStatus setSettings(const std::string& text) override;

    PortStatus output(std::span<const uint8_t> data) override;

    // Empties the driver's receive queue and QSerialPort's own buffer; a
    // receive notification already queued then finds nothing to announce.
    void setInBufferCount(int16_t count) override;

    std::vector<uint8_t> input() override;

    // For the adapter check, of the open port: whether it is a
    // pseudo-terminal, what the driver made of the last line asked of it
    // (empty when it holds), and the line it holds, e.g. "9600,M,8,1".
    bool pseudoTerminal() const { return m_pseudoTerminal; }
    const std::optional<LineProblem>& lineProblem() const { return m_lineProblem; }
    std::string lineReadBack() const;

  private:
    PortStatus openPort() override;
    void closePort() override;
    bool hasInput() const override { return m_port.bytesAvailable() > 0; }
    PortError lostError() const override;
    PortStatus applyLine();
    PortError openError(const std::string& device) const;
    void onPortError(QSerialPort::SerialPortError error);

    bool m_pseudoTerminal = false;
    std::optional<LineProblem> m_lineProblem;
    bool m_closing = false; // errors raised while closing are not a loss

    // Last member: its signals reach the members above, so it goes first.
    QSerialPort m_port;
};

} // namespace quill
