// SPDX-License-Identifier: MIT
#include "rfc2217/client.h"

#include <algorithm>

namespace quill::rfc2217 {
namespace {

// A subnegotiation longer than this is no message of the serial port
// control option: it is read to its end and dropped.
constexpr std::size_t maxSubnegotiation = 64;

// The options the client takes up when the server offers or asks for them,
// on either side. Echo is not among them: the server must not echo data.
bool accepted(uint8_t option) {
    return option == optionBinary || option == optionSuppressGoAhead || option == optionComPort;
}

void appendData(std::vector<Event>& events, uint8_t byte) {
    if (events.empty() || events.back().kind != EventKind::Data) {
        events.push_back({});
    }
    events.back().bytes.push_back(byte);
}

} // namespace

std::vector<uint8_t> Client::start() {
    m_started = true;
    m_options[optionBinary].ours = State::WantYes;
    m_options[optionBinary].theirs = State::WantYes;
    m_options[optionComPort].ours = State::WantYes;
    return {IAC, WILL, optionBinary, IAC, DO, optionBinary, IAC, WILL, optionComPort};
}

Negotiation Client::negotiation() const {
    const OptionStates& binary = m_options[optionBinary];
    const State comPort = m_options[optionComPort].ours;
    if (!m_started) {
        return Negotiation::Pending;
    }
    if (binary.ours == State::No || binary.theirs == State::No) {
        return Negotiation::NoBinary;
    }
    if (comPort == State::No) {
        return Negotiation::NoComPort;
    }
    const bool agreed =
        binary.ours == State::Yes && binary.theirs == State::Yes && comPort == State::Yes;
    return agreed ? Negotiation::Agreed : Negotiation::Pending;
}

Client::Received Client::feed(std::span<const uint8_t> bytes) {
    Received out;
    for (const uint8_t byte : bytes) {
        take(byte, out);
    }
    return out;
}

void Client::take(uint8_t byte, Received& out) {
    switch (m_mode) {
    case Mode::Data:
        if (byte == IAC) {
            m_mode = Mode::Iac;
        } else {
            appendData(out.events, byte);
        }
        return;
    case Mode::Iac:
        command(byte, out);
        return;
    case Mode::Verb:
        m_mode = Mode::Data;
        negotiate(m_verb, byte, out.reply);
        return;
    case Mode::Sub:
        if (byte == IAC) {
            m_mode = Mode::SubIac;
        } else if (m_sub.size() <= maxSubnegotiation) {
            m_sub.push_back(byte);
        }
        return;
    case Mode::SubIac:
        if (byte == IAC) {
            m_mode = Mode::Sub;
            if (m_sub.size() <= maxSubnegotiation) {
                m_sub.push_back(IAC);
            }
        } else if (byte == SE) {
            m_mode = Mode::Data;
            subnegotiation(out);
        } else {
            // An unescaped command inside a subnegotiation ends it unread;
            // the command itself counts.
            command(byte, out);
        }
        return;
    }
}

// The byte after an IAC outside a subnegotiation.
void Client::command(uint8_t byte, Received& out) {
    m_mode = Mode::Data;
    if (byte == IAC) {
        appendData(out.events, IAC);
    } else if (byte == WILL || byte == WONT || byte == DO || byte == DONT) {
        m_verb = byte;
        m_mode = Mode::Verb;
    } else if (byte == SB) {
        m_sub.clear();
        m_mode = Mode::Sub;
    }
    // Every other command (no operation, go ahead, a stray SE) means
    // nothing to a serial port.
}

// Replies only when a state changes, so that two sides that agree never
// answer each other's confirmations and negotiation cannot loop.
void Client::negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    const bool theirs = verb == WILL || verb == WONT;
    const bool enable = verb == WILL || verb == DO;
    State& state = theirs ? m_options[option].theirs : m_options[option].ours;
    const uint8_t yes = theirs ? DO : WILL;
    const uint8_t no = theirs ? DONT : WONT;
    if (enable) {
        if (state == State::No) {
            const bool take = accepted(option);
            reply.insert(reply.end(), {IAC, take ? yes : no, option});
            state = take ? State::Yes : State::No;
        } else {
            state = State::Yes;
        }
        return;
    }
    if (state == State::Yes) {
        reply.insert(reply.end(), {IAC, no, option});
    }
    state = State::No;
}

void Client::subnegotiation(Received& out) {
    if (m_sub.size() < 2 || m_sub.size() > maxSubnegotiation || m_sub[0] != optionComPort ||
        m_sub[1] <= serverOffset ||
        m_sub[1] > serverOffset + static_cast<uint8_t>(Command::PurgeData)) {
        return;
    }
    Event event;
    event.command = static_cast<Command>(m_sub[1] - serverOffset);
    event.bytes.assign(m_sub.begin() + 2, m_sub.end());
    const auto asked =
        std::find_if(m_unanswered.begin(), m_unanswered.end(),
                     [&](const auto& request) { return request.first == event.command; });
    if (asked == m_unanswered.end()) {
        event.kind = EventKind::Notice;
    } else {
        event.kind = EventKind::Answer;
        event.asked = std::move(asked->second);
        m_unanswered.erase(asked);
    }
    out.events.push_back(std::move(event));
}

std::vector<uint8_t> Client::request(Command command, const std::vector<uint8_t>& value) {
    m_unanswered.emplace_back(command, value);
    std::vector<uint8_t> bytes{IAC, SB, optionComPort, static_cast<uint8_t>(command)};
    const std::vector<uint8_t> escaped = escape(value);
    bytes.insert(bytes.end(), escaped.begin(), escaped.end());
    bytes.insert(bytes.end(), {IAC, SE});
    return bytes;
}

std::optional<Client::Request> Client::firstUnanswered() const {
    if (m_unanswered.empty()) {
        return std::nullopt;
    }
    return m_unanswered.front();
}

std::vector<uint8_t> Client::escape(std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes;
    bytes.reserve(data.size());
    for (const uint8_t byte : data) {
        bytes.push_back(byte);
        if (byte == IAC) {
            bytes.push_back(IAC);
        }
    }
    return bytes;
}

} // namespace quill::rfc2217
