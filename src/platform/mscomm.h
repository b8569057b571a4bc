// SPDX-License-Identifier: MIT
#pragma once
// The serial communications control the download talks through: the one
// serial port of the program, seen with the operations the system uses.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quill {

// Codes of the serial control's event, as read from CommEvent.
enum CommEventCode : int16_t {
    comEvSend = 1,
    comEvReceive = 2,
    comEvCTS = 3,
    comEvDSR = 4,
    comEvCD = 5,
    comEvRing = 6,
    comEvEOF = 7,
    comEventBreak = 1001,
    comEventFrame = 1004,
    comEventOverrun = 1006,
    comEventRxOver = 1008,
    comEventRxParity = 1009,
    comEventTxFull = 1010,
    comEventDCB = 1011,
};

enum class PortErrorKind {
    NotFound,    // no such device
    Busy,        // held by another program
    Permission,  // not allowed to open it (on Linux: the dialout group)
    NotOpen,     // an operation that needs an open port found it closed
    BadSettings, // a line configuration text that cannot be parsed
    Unsupported, // the driver refused a setting (some adapters cannot do mark parity)
    Lost,        // the port went away while open (a USB adapter pulled out)
    Other,
};

// A failure of the serial control, with a sentence that names the port and
// the cause, fit to be shown to the user as it stands.
struct PortError {
    PortErrorKind kind = PortErrorKind::Other;
    std::string text;
};

// Empty on success.
using PortStatus = std::optional<PortError>;

// Receives the serial control's events on the user-interface thread.
class MSCommEvents {
  public:
    virtual ~MSCommEvents() = default;
    // Something happened on the port; CommEvent says what.
    virtual void MSComm1_OnComm() = 0;
    // The open port went away (reported once); the control has closed it.
    virtual void onPortLost(const PortError& error) = 0;
};

class MSComm {
  public:
    virtual ~MSComm() = default;

    virtual void setEventSink(MSCommEvents* sink) = 0;

    // Selects the port (1 for COM1) for the next open; only while closed.
    virtual void setCommPort(int16_t port) = 0;
    virtual int16_t commPort() const = 0;
    // The port as the user should read it in a message, e.g. "COM1 (/dev/ttyUSB0)".
    virtual std::string portDisplayName() const = 0;
    // The selected port is reached over the network (rfc2217://HOST:PORT).
    virtual bool selectedOnNetwork() const { return false; }

    virtual bool portOpen() const = 0;
    // PortOpen = true / false. Opening applies the current configuration.
    virtual PortStatus setPortOpen(bool open) = 0;

    // Line configuration text such as "9600,M,8,1"; applies at once to an
    // open port, or at the next open. An empty text keeps the configuration.
    virtual PortStatus setSettings(const std::string& text) = 0;
    virtual std::string settings() const = 0;

    virtual void setHandshaking(int16_t mode) = 0;
    virtual void setRThreshold(int16_t count) = 0;
    virtual void setSThreshold(int16_t count) = 0;
    virtual void setInputMode(int16_t mode) = 0;
    virtual void setParityReplace(const std::string& text) = 0;

    // Output = data: queues every byte, in order, in one write, and returns
    // without waiting for them to go out.
    virtual PortStatus output(std::span<const uint8_t> data) = 0;

    // InBufferCount = 0: throws away every byte received and not read yet,
    // in the driver and in the control; a receive event already on its way
    // then finds nothing.
    virtual void setInBufferCount(int16_t count) = 0;

    virtual int16_t commEvent() const = 0;
    // Input: every byte received so far; empties the receive buffer.
    virtual std::vector<uint8_t> input() = 0;
};

// The values the download sets at each start.
inline constexpr int16_t comNone = 0; // Handshaking: no flow control by the driver
inline constexpr int16_t comInputModeBinary = 1;

} // namespace quill
