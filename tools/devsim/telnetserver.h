// SPDX-License-Identifier: MIT
#pragma once
// The serial port server's side of Telnet with the serial port control
// option (COM-PORT-OPTION, RFC 2217), as a machine on bytes: fed what the
// client sent, it gives the serial data, unescaped, and the bytes owed to
// the client (negotiation replies, the answers to its port commands). It
// keeps the line as the client set it. No sockets, no clock.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quill::devsim {

namespace telnet {
inline constexpr uint8_t IAC = 255;
inline constexpr uint8_t DONT = 254;
inline constexpr uint8_t DO = 253;
inline constexpr uint8_t WONT = 252;
inline constexpr uint8_t WILL = 251;
inline constexpr uint8_t SB = 250;
inline constexpr uint8_t SE = 240;

inline constexpr uint8_t optionBinary = 0;
inline constexpr uint8_t optionSuppressGoAhead = 3;
inline constexpr uint8_t optionComPort = 44;

// Commands of the serial port control option, as the client sends them;
// the server answers with the command plus serverOffset.
inline constexpr uint8_t setBaudRate = 1;
inline constexpr uint8_t setDataSize = 2;
inline constexpr uint8_t setParity = 3;
inline constexpr uint8_t setStopSize = 4;
inline constexpr uint8_t setControl = 5;
inline constexpr uint8_t setLineStateMask = 10;
inline constexpr uint8_t setModemStateMask = 11;
inline constexpr uint8_t purgeData = 12;
inline constexpr uint8_t serverOffset = 100;

// Values of setParity.
inline constexpr uint8_t parityNone = 1;
inline constexpr uint8_t parityOdd = 2;
inline constexpr uint8_t parityEven = 3;
inline constexpr uint8_t parityMark = 4;
inline constexpr uint8_t paritySpace = 5;
} // namespace telnet

// The line as the client has set it; a port server starts at 9600 8N1
// without flow control, with DTR and RTS on and no break.
struct PortLine {
    uint32_t baud = 9600;
    uint8_t dataSize = 8;
    uint8_t parity = telnet::parityNone;
    uint8_t stopSize = 1;
    uint8_t outboundFlow = 1; // setControl values
    uint8_t inboundFlow = 14;
    uint8_t breakState = 6;
    uint8_t dtr = 8;
    uint8_t rts = 11;
    uint8_t lineStateMask = 0;
    uint8_t modemStateMask = 0;
    friend bool operator==(const PortLine&, const PortLine&) = default;
};

class TelnetServer {
  public:
    // Serial data sent while the line stood as `line`: a command that
    // changes the line between two bytes starts a new piece.
    struct Data {
        PortLine line;
        std::vector<uint8_t> bytes;
    };
    struct Received {
        std::vector<Data> data;     // serial data for the device, in order
        std::vector<uint8_t> reply; // to be sent to the client at once
    };

    // Bytes from the client, in any pieces: a sequence split between two
    // calls goes on where it stopped.
    Received feed(std::span<const uint8_t> bytes);
    const PortLine& line() const { return m_line; }

    // The device's bytes as they go to the client: each 0xFF doubled.
    static std::vector<uint8_t> escape(std::span<const uint8_t> data);

  private:
    enum class Mode : uint8_t { Data, Iac, Verb, Sub, SubIac };
    void take(uint8_t byte, Received& out);
    void append(uint8_t byte, Received& out) const;
    void command(uint8_t byte);
    void negotiate(uint8_t option, std::vector<uint8_t>& reply);
    void subnegotiation(std::vector<uint8_t>& reply);
    std::vector<uint8_t> portCommand(uint8_t command, const std::vector<uint8_t>& value);

    Mode m_mode = Mode::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sub;
    // Per option: the client does it (it said WILL), the server does it (DO).
    std::array<bool, 256> m_clientDoes{};
    std::array<bool, 256> m_serverDoes{};
    PortLine m_line;
};

} // namespace quill::devsim
