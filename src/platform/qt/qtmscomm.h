// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 over QSerialPort.
//
// Received bytes are announced once QSerialPort's readyRead emission has
// returned, never from inside it: Qt does not emit readyRead again while its
// own slot runs, and the receive handler may open a modal box whose nested
// event loop must go on seeing the device's bytes. They are announced when
// the thread's event loop next comes round (its dispatcher's awake and
// aboutToBlock), which, unlike a queued call, needs no wake-up of the loop.
// A loop that is not Qt's (a native file dialog's) runs Qt's timers but not
// its dispatcher: there a timer announces them, at most a tenth of a second
// later.

#include "platform/mscomm.h"
#include "platform/qt/lineconfig.h"
#include "platform/qt/portnames.h"

#include <QSerialPort>
#include <QTimer>

namespace quill {

class QtMSComm final : public MSComm {
  public:
    explicit QtMSComm(PortResolver resolver);
    ~QtMSComm() override;
    QtMSComm(const QtMSComm&) = delete;
    QtMSComm& operator=(const QtMSComm&) = delete;

    void setEventSink(MSCommEvents* sink) override { m_sink = sink; }

    // Ignored while the port is open, as the port in use cannot change.
    void setCommPort(int16_t port) override;
    int16_t commPort() const override { return m_commPort; }
    std::string portDisplayName() const override;
    // A port the user gave as a device path is named by that path alone.
    void setNamedByDevice(bool byDevice) { m_namedByDevice = byDevice; }

    bool portOpen() const override { return m_port.isOpen(); }
    PortStatus setPortOpen(bool open) override;

    PortStatus setSettings(const std::string& text) override;
    std::string settings() const override { return m_settingsText; }

    // Stored only. The driver never does flow control, whatever Handshaking
    // says: it would swallow the XON and XOFF the download reads as data.
    void setHandshaking(int16_t mode) override { m_handshaking = mode; }
    void setRThreshold(int16_t count) override { m_rThreshold = count; }
    void setSThreshold(int16_t count) override { m_sThreshold = count; }
    void setInputMode(int16_t mode) override { m_inputMode = mode; }
    void setParityReplace(const std::string& text) override { m_parityReplace = text; }

    PortStatus output(std::span<const uint8_t> data) override;

    // Empties the driver's receive queue and QSerialPort's own buffer; a
    // receive notification already queued then finds nothing to announce.
    void setInBufferCount(int16_t count) override;

    int16_t commEvent() const override { return m_commEvent; }
    std::vector<uint8_t> input() override;

  private:
    std::string deviceName() const;
    PortStatus openPort();
    void closePort();
    PortStatus applyLine();
    PortError openError(const std::string& device) const;
    void watchLoop(bool on);
    void scheduleReceive();
    void deliverReceive();
    void onPortError(QSerialPort::SerialPortError error);
    bool hungUp() const;
    void closeLostPort();

    PortResolver m_resolver;
    MSCommEvents* m_sink = nullptr;
    int16_t m_commPort = 1;
    LineConfig m_line{9600, Parity::None, 8, StopBits::One};
    std::string m_settingsText = "9600,N,8,1";
    int16_t m_commEvent = 0;
    int16_t m_handshaking = comNone;
    int16_t m_rThreshold = 0;
    int16_t m_sThreshold = 0;
    int16_t m_inputMode = 0;
    std::string m_parityReplace = "?";

    bool m_namedByDevice = false;
    bool m_pseudoTerminal = false;
    bool m_receivePending = false; // bytes to announce when the loop comes round
    QMetaObject::Connection m_loopAwake;
    QMetaObject::Connection m_loopBlocking;
    bool m_lossPending = false; // a lost port is being closed; reported once
    bool m_closing = false;     // errors raised while closing are not a loss

    QTimer m_receive; // announces them where the loop is not Qt's

    // Last member: its signals reach the members above, so it goes first.
    QSerialPort m_port;
};

} // namespace quill
