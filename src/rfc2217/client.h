// SPDX-License-Identifier: MIT
#pragma once
// The client's side of a serial port reached over Telnet, as a machine on
// bytes: fed what the server sent, it gives the serial data, the server's
// answers and notifications in the order they came, and the negotiation
// replies owed to the server; asked for a request, it gives its bytes and
// remembers that an answer is due. No sockets, no clock: the caller sends
// the bytes and decides how long to wait.

#include "rfc2217/comport.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace quill::rfc2217 {

enum class EventKind : uint8_t {
    Data,   // bytes: serial data, unescaped
    Answer, // command, asked, bytes: the server's answer to a request of ours
    Notice, // command, bytes: a message of the server's nobody asked for
            // (line or modem state, flow control suspend or resume)
};

struct Event {
    EventKind kind = EventKind::Data;
    Command command{};
    std::vector<uint8_t> asked;
    std::vector<uint8_t> bytes;

    bool operator==(const Event&) const = default;
};

enum class Negotiation : uint8_t {
    Pending,   // not asked yet, or not answered yet
    Agreed,    // binary both ways and serial port control
    NoBinary,  // the server refused binary mode one way or the other
    NoComPort, // the server refused serial port control
};

class Client {
  public:
    struct Received {
        std::vector<Event> events;
        std::vector<uint8_t> reply; // to be sent to the server at once
    };

    // The opening requests: binary mode both ways and serial port control.
    std::vector<uint8_t> start();
    Negotiation negotiation() const;

    // Bytes from the server, in any pieces: a sequence split between two
    // calls goes on where it stopped.
    Received feed(std::span<const uint8_t> bytes);

    // The bytes of a serial port control request; its answer is then due.
    std::vector<uint8_t> request(Command command, const std::vector<uint8_t>& value);
    using Request = std::pair<Command, std::vector<uint8_t>>;
    // The oldest request still unanswered, with the value it asked for.
    std::optional<Request> firstUnanswered() const;
    bool answered() const { return m_unanswered.empty(); }
    // Stops waiting: a late answer then comes as a notice.
    void abandonRequests() { m_unanswered.clear(); }

    // Serial data as it goes on the wire: each 0xFF doubled.
    static std::vector<uint8_t> escape(std::span<const uint8_t> data);

  private:
    // Per option and side, after RFC 1143 without the queue: this client
    // never asks to turn an option off, so no state of that is needed.
    enum class State : uint8_t { No, WantYes, Yes };
    struct OptionStates {
        State ours = State::No;   // the client does it (WILL / WONT)
        State theirs = State::No; // the server does it (DO / DONT)
    };
    enum class Mode : uint8_t { Data, Iac, Verb, Sub, SubIac };

    void take(uint8_t byte, Received& out);
    void command(uint8_t byte, Received& out);
    void negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
    void subnegotiation(Received& out);

    std::array<OptionStates, 256> m_options{};
    bool m_started = false;
    Mode m_mode = Mode::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sub;
    std::deque<Request> m_unanswered;
};

} // namespace quill::rfc2217
