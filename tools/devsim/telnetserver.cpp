// SPDX-License-Identifier: MIT
#include "devsim/telnetserver.h"

namespace quill::devsim {

using namespace telnet;

namespace {

// A subnegotiation longer than this is no port command: it is read to its
// end and dropped.
constexpr size_t maxSubnegotiation = 64;

// Binary mode carries the device's bytes as they are; without go-ahead
// suppressed a client would wait for turns. Echo is refused: the device
// must hear the data once and the client must not get it back.
bool accepted(uint8_t option) {
    return option == optionBinary || option == optionSuppressGoAhead || option == optionComPort;
}

// A value of SET-CONTROL that asks for a setting, and the one it asks for.
uint8_t PortLine::*asked(uint8_t value) {
    switch (value) {
    case 0:
        return &PortLine::outboundFlow;
    case 4:
        return &PortLine::breakState;
    case 7:
        return &PortLine::dtr;
    case 10:
        return &PortLine::rts;
    case 13:
        return &PortLine::inboundFlow;
    default:
        return nullptr;
    }
}

// A value of SET-CONTROL that sets something, and the setting it sets.
uint8_t PortLine::*setBy(uint8_t value) {
    if ((value >= 1 && value <= 3) || value == 17 || value == 19) {
        return &PortLine::outboundFlow;
    }
    if ((value >= 14 && value <= 16) || value == 18) {
        return &PortLine::inboundFlow;
    }
    if (value == 5 || value == 6) {
        return &PortLine::breakState;
    }
    if (value == 8 || value == 9) {
        return &PortLine::dtr;
    }
    if (value == 11 || value == 12) {
        return &PortLine::rts;
    }
    return nullptr;
}

} // namespace

TelnetServer::Received TelnetServer::feed(std::span<const uint8_t> bytes) {
    Received out;
    for (const uint8_t byte : bytes) {
        take(byte, out);
    }
    return out;
}

void TelnetServer::take(uint8_t byte, Received& out) {
    switch (m_mode) {
    case Mode::Data:
        if (byte == IAC) {
            m_mode = Mode::Iac;
        } else {
            append(byte, out);
        }
        return;
    case Mode::Iac:
        if (byte == IAC) {
            m_mode = Mode::Data;
            append(IAC, out);
        } else {
            command(byte);
        }
        return;
    case Mode::Verb:
        m_mode = Mode::Data;
        negotiate(byte, out.reply);
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
            subnegotiation(out.reply);
        } else {
            // An unescaped command inside a subnegotiation ends it unread.
            command(byte);
        }
        return;
    }
}

void TelnetServer::append(uint8_t byte, Received& out) const {
    if (out.data.empty() || out.data.back().line != m_line) {
        out.data.push_back({m_line, {}});
    }
    out.data.back().bytes.push_back(byte);
}

// The byte after an IAC that is not a second IAC.
void TelnetServer::command(uint8_t byte) {
    m_mode = Mode::Data;
    if (byte == WILL || byte == WONT || byte == DO || byte == DONT) {
        m_verb = byte;
        m_mode = Mode::Verb;
    } else if (byte == SB) {
        m_sub.clear();
        m_mode = Mode::Sub;
    }
    // No operation, go ahead, break and the like mean nothing to the device.
}

// Replies only when a state changes, so that two sides that agree never
// answer each other's confirmations and negotiation cannot loop.
void TelnetServer::negotiate(uint8_t option, std::vector<uint8_t>& reply) {
    const bool clientSide = m_verb == WILL || m_verb == WONT;
    const bool enable = m_verb == WILL || m_verb == DO;
    bool& state = clientSide ? m_clientDoes[option] : m_serverDoes[option];
    const uint8_t yes = clientSide ? DO : WILL;
    const uint8_t no = clientSide ? DONT : WONT;
    if (enable && !state) {
        state = accepted(option);
        reply.insert(reply.end(), {IAC, state ? yes : no, option});
    } else if (!enable && state) {
        state = false;
        reply.insert(reply.end(), {IAC, no, option});
    }
}

void TelnetServer::subnegotiation(std::vector<uint8_t>& reply) {
    if (m_sub.size() < 2 || m_sub.size() > maxSubnegotiation || m_sub[0] != optionComPort ||
        !m_clientDoes[optionComPort]) {
        return;
    }
    const uint8_t command = m_sub[1];
    const std::vector<uint8_t> value(m_sub.begin() + 2, m_sub.end());
    const std::vector<uint8_t> answer = portCommand(command, value);
    if (answer.empty()) {
        return;
    }
    reply.insert(reply.end(),
                 {IAC, SB, optionComPort, static_cast<uint8_t>(command + serverOffset)});
    const std::vector<uint8_t> escaped = escape(answer);
    reply.insert(reply.end(), escaped.begin(), escaped.end());
    reply.insert(reply.end(), {IAC, SE});
}

// The value the server answers a port command with: what it set, or for
// a query (value 0) what is set; nothing for what it does not take.
std::vector<uint8_t> TelnetServer::portCommand(uint8_t command, const std::vector<uint8_t>& value) {
    const auto one = [&](uint8_t& setting, uint8_t lowest, uint8_t highest) {
        if (value.size() != 1) {
            return std::vector<uint8_t>{};
        }
        if (value[0] >= lowest && value[0] <= highest) {
            setting = value[0];
        }
        return std::vector<uint8_t>{setting};
    };
    switch (command) {
    case setBaudRate: {
        if (value.size() != 4) {
            return {};
        }
        const uint32_t baud = uint32_t{value[0]} << 24 | uint32_t{value[1]} << 16 |
                              uint32_t{value[2]} << 8 | value[3];
        if (baud != 0) {
            m_line.baud = baud;
        }
        const uint32_t b = m_line.baud;
        return {static_cast<uint8_t>(b >> 24), static_cast<uint8_t>(b >> 16),
                static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)};
    }
    case setDataSize:
        return one(m_line.dataSize, 5, 8);
    case setParity:
        return one(m_line.parity, parityNone, paritySpace);
    case setStopSize:
        return one(m_line.stopSize, 1, 3);
    case setControl: {
        if (value.size() != 1) {
            return {};
        }
        if (uint8_t PortLine::*setting = asked(value[0])) {
            return {m_line.*setting};
        }
        if (uint8_t PortLine::*setting = setBy(value[0])) {
            m_line.*setting = value[0];
        }
        return value;
    }
    case setLineStateMask:
        return one(m_line.lineStateMask, 0, 255);
    case setModemStateMask:
        return one(m_line.modemStateMask, 0, 255);
    case purgeData:
        // The server holds nothing the device has sent and the client not
        // yet received, nor anything on its way to the device: nothing to drop.
        return value.size() == 1 && value[0] >= 1 && value[0] <= 3 ? value : std::vector<uint8_t>{};
    default:
        return {};
    }
}

std::vector<uint8_t> TelnetServer::escape(std::span<const uint8_t> data) {
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

} // namespace quill::devsim
