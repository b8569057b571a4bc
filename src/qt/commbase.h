// SPDX-License-Identifier: MIT
#pragma once
// What the serial controls for a local port and for a port on the network
// share: the selected port and its name, the line configuration text, the
// values the download sets that the control only keeps, and the two events.
//
// Received bytes are announced once the port's own notification has
// returned, never from inside it: Qt does not emit readyRead again while its
// own slot runs, and the receive handler may open a modal box whose nested
// event loop must go on seeing the device's bytes. They are announced when
// the thread's event loop next comes round (its dispatcher's awake and
// aboutToBlock), which, unlike a queued call, needs no wake-up of the loop.
// A loop that is not Qt's (a native file dialog's) runs Qt's timers but not
// its dispatcher: there a timer announces them, at most a tenth of a second
// later. A port that goes away is reported once and closed from a queued
// call.

#include "platform/mscomm.h"
#include "qt/lineconfig.h"
#include "qt/portnames.h"

#include <QObject>
#include <QTimer>

namespace quill {

class CommBase : public MSComm {
  public:
    explicit CommBase(PortResolver resolver);
    ~CommBase() override;
    CommBase(const CommBase&) = delete;
    CommBase& operator=(const CommBase&) = delete;

    void setEventSink(MSCommEvents* sink) override { m_sink = sink; }

    // Ignored while the port is open, as the port in use cannot change.
    void setCommPort(int16_t port) override;
    int16_t commPort() const override { return m_commPort; }
    // Opens or closes; asking for the state the port is in does nothing.
    PortStatus setPortOpen(bool open) final;
    std::string portDisplayName() const override;
    // A port the user gave as a device name is named by that name alone.
    void setNamedByDevice(bool byDevice) { m_namedByDevice = byDevice; }

    std::string settings() const override { return m_settingsText; }

    // Stored only. The control never does flow control, whatever
    // Handshaking says: it would swallow the XON and XOFF the download
    // reads as data.
    void setHandshaking(int16_t mode) override { m_handshaking = mode; }
    void setRThreshold(int16_t count) override { m_rThreshold = count; }
    void setSThreshold(int16_t count) override { m_sThreshold = count; }
    void setInputMode(int16_t mode) override { m_inputMode = mode; }
    void setParityReplace(const std::string& text) override { m_parityReplace = text; }

    int16_t commEvent() const override { return m_commEvent; }

  protected:
    std::string deviceName() const;
    // Takes a line configuration text into m_line; false (with the error)
    // when there is nothing to apply: an empty text, or a bad one.
    bool takeSettings(const std::string& text, PortStatus& error);

    // From a successful open until the close: each pass of the event loop
    // of `context`'s thread looks for bytes to announce.
    void watchLoop(QObject& context);
    // Bytes have arrived: the receive event is due when the loop comes round.
    void scheduleReceive();
    // The port went away: closed and reported from a queued call, once.
    void scheduleLoss(QObject& context);
    bool lossPending() const { return m_lossPending; }
    // For closePort: nothing stays on its way, and the loop is no longer
    // watched.
    void clearPending();

    virtual bool hasInput() const = 0;
    virtual PortError lostError() const = 0;
    virtual PortStatus openPort() = 0;
    virtual void closePort() = 0;

    LineConfig m_line{9600, Parity::None, 8, StopBits::One};
    std::string m_settingsText = "9600,N,8,1";

  private:
    void deliverReceive();
    void closeLostPort();
    void unwatchLoop();

    PortResolver m_resolver;
    MSCommEvents* m_sink = nullptr;
    int16_t m_commPort = 1;
    bool m_namedByDevice = false;
    int16_t m_commEvent = 0;
    int16_t m_handshaking = comNone;
    int16_t m_rThreshold = 0;
    int16_t m_sThreshold = 0;
    int16_t m_inputMode = 0;
    std::string m_parityReplace = "?";
    bool m_receivePending = false; // bytes to announce when the loop comes round
    bool m_lossPending = false;    // a lost port is being closed; reported once
    QMetaObject::Connection m_loopAwake;
    QMetaObject::Connection m_loopBlocking;
    QTimer m_receive; // announces them where the loop is not Qt's
};

} // namespace quill
