// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 for a serial port on the network, named
// rfc2217://HOST:PORT: a Telnet connection to a serial device server (such
// as ser2net) that sets the line through the serial port control option.
//
// The download relies on a setting being in force when the call returns:
// the next byte it writes must go out at the new parity. So the calls that
// ask the server something (open, Settings, InBufferCount = 0) wait for the
// answer, within a deadline, by blocking on this one socket: no event loop
// runs meanwhile, so no handler of the program can run inside the call and
// re-enter the download. Only this socket's own notifications are taken,
// and they only feed the protocol machine and queue the receive event. On a
// LAN an answer takes well under a millisecond; a silent server holds the
// program for the deadline at most.
//
// A connection the server closes is a lost port, as an unplugged adapter is.

#include "qt/commbase.h"
#include "rfc2217/client.h"
#include "rfc2217/porturl.h"

#include <QTcpSocket>

#include <chrono>
#include <functional>

namespace quill {

struct NetworkDeadlines {
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds answer{3000}; // negotiation, settings, purge
};

class NetworkComm final : public CommBase {
  public:
    // What is held of the server's bytes before they are read: a server
    // that sends more (a flood before the negotiation, or while nothing
    // reads) is cut off, and the port fails.
    static constexpr size_t maxHeldBytes = 64 * 1024;

    // Receives a sentence on each step of the server's: connected,
    // negotiated, settings answered, purged, reconnecting.
    using Notes = std::function<void(const std::string&)>;

    explicit NetworkComm(PortResolver resolver, NetworkDeadlines deadlines = {});
    ~NetworkComm() override;
    NetworkComm(const NetworkComm&) = delete;
    NetworkComm& operator=(const NetworkComm&) = delete;

    void setNotes(Notes notes) { m_notes = std::move(notes); }

    bool portOpen() const override { return m_open; }
    // Connects, negotiates and applies the line configuration.

    // Asks the server for the whole line, flow control off both ways, and
    // checks every answer.
    PortStatus setSettings(const std::string& text) override;

    PortStatus output(std::span<const uint8_t> data) override;

    // Has the server purge its receive buffer, drops what arrives until it
    // answers, then empties the control's own buffer.
    void setInBufferCount(int16_t count) override;

    std::vector<uint8_t> input() override;

    // The line as the server last answered the whole of it on this
    // connection, as a line configuration text ("9600,M,8,1"); empty
    // before that.
    const std::string& lineAnswered() const { return m_lineAnswered; }

  private:
    enum class Wait { Done, TimedOut, Closed };
    struct LineOutcome {
        PortStatus status;
        bool serverFault = false; // SPACE answered to EVEN right after MARK
    };

    PortStatus openPort() override;
    void closePort() override;
    bool hasInput() const override { return !m_received.empty(); }
    PortError lostError() const override;
    PortStatus connectSession();
    PortStatus applyLine();
    LineOutcome requestLine();
    PortError connectError() const;
    PortError closedByServer() const;
    PortError tellLoss();
    Wait waitUntil(const std::function<bool()>& done);
    void send(const std::vector<uint8_t>& bytes);
    void onReadyRead();
    void onDisconnected();
    void note(const std::string& text) const;

    NetworkDeadlines m_deadlines;
    Notes m_notes;

    rfc2217::Endpoint m_endpoint;
    rfc2217::Client m_client;
    std::vector<rfc2217::Event> m_answers; // to the requests of the current wait
    std::vector<uint8_t> m_received;       // serial data not read yet
    uint8_t m_parityInForce = 0;           // as the server last answered on this connection
    std::string m_lineAnswered;
    bool m_purging = false; // until the purge is answered
    bool m_open = false;
    bool m_closing = false; // a close of our own is no loss
    bool m_flooded = false; // cut off: the server sent more than is held

    // Last member: its signals reach the members above, so it goes first.
    QTcpSocket m_socket;
};

} // namespace quill
