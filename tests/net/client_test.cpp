// SPDX-License-Identifier: MIT
// The Telnet client on bytes: what the server sends, fed whole and one byte
// at a time, and what the client makes of it and answers.

#include "rfc2217/client.h"
#include "rfc2217/porturl.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace quill::rfc2217 {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes agree{IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes sub(uint8_t code, const Bytes& value) {
    return Bytes{IAC, SB, 44, code} + value + Bytes{IAC, SE};
}

std::string hex(const Bytes& bytes) {
    const QByteArray text =
        QByteArray(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes)).toHex(' ');
    return text.isEmpty() ? std::string{} : text.toStdString() + " ";
}

// The reply, then the events: data as bytes (so that the runs a bytewise
// feed splits read as one), answers and notices in brackets.
std::string feedAll(Client& client, const Bytes& bytes, bool bytewise) {
    std::string reply;
    std::string events;
    for (std::size_t at = 0; at < bytes.size(); at += bytewise ? 1 : bytes.size()) {
        const Client::Received got =
            client.feed(std::span(bytes).subspan(at, bytewise ? 1 : bytes.size()));
        reply += hex(got.reply);
        for (const Event& event : got.events) {
            const std::string command = std::to_string(static_cast<int>(event.command));
            events += event.kind == EventKind::Data ? hex(event.bytes)
                      : event.kind == EventKind::Answer
                          ? "[answer " + command + ": " + hex(event.bytes) + "to " +
                                hex(event.asked) + "] "
                          : "[notice " + command + ": " + hex(event.bytes) + "] ";
        }
    }
    return reply + "| " + events;
}

// Each row from the start: the opening requests, then a request for EVEN
// parity and one for 65280 baud (00 00 ff 00, escaped), then the server's
// bytes, fed whole and byte by byte; what the client replies and makes of
// them, and how the negotiation stands.
TEST(ClientTest, NegotiatesAndSeparatesDataAnswersAndNotices) {
    using enum Negotiation;
    const struct {
        const char* what;
        Bytes server;
        const char* out; // reply | events
        Negotiation outcome;
    } cases[] = {
        {"half", {IAC, DO, 0, IAC, WILL, 0}, "| ", Pending},
        {"ser2net 4.3, which offers go-ahead suppression and echo",
         {IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,  IAC, DONT,
          1,   IAC,  DO, 0,   IAC, WILL, 0,   IAC,  DO, 44},
         "ff fd 03 ff fb 03 ff fe 01 | ",
         Agreed},
        {"unknown options", Bytes{IAC, DO, 24, IAC, WILL, 31} + agree, "ff fc 18 ff fe 1f | ",
         Agreed},
        {"no serial port control", {IAC, DO, 0, IAC, WILL, 0, IAC, DONT, 44}, "| ", NoComPort},
        {"no binary", {IAC, WONT, 0, IAC, DO, 44}, "| ", NoBinary},
        {"binary withdrawn", agree + Bytes{IAC, WONT, 0}, "ff fe 00 | ", NoBinary},
        // Agreed twice; escaped 0xFF in data and in a subnegotiation,
        // commands without meaning, notices, other options' subnegotiations.
        {"data, answers and notices",
         agree + agree + Bytes{0x41, IAC, IAC, IAC, 241, IAC, 249} + sub(101, {0, 0, IAC, IAC, 0}) +
             Bytes{0x13} + sub(107, {0x30}) + sub(106, {0x60}) +
             Bytes{IAC, SB, 24, 0, IAC, SE, 0x11},
         "| 41 ff [answer 1: 00 00 ff 00 to 00 00 ff 00 ] 13 [notice 7: 30 ] [notice 6: 60 ] 11 ",
         Agreed},
        {"an unescaped command ends a subnegotiation",
         agree + Bytes{IAC, SB, 44, 103, 3, IAC, DO, 0, 0x41}, "| 41 ", Agreed},
    };
    for (const auto& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? ", byte by byte" : ""));
            Client client;
            EXPECT_EQ(client.negotiation(), Pending);
            EXPECT_EQ(hex(client.start()), "ff fb 00 ff fd 00 ff fb 2c ");
            EXPECT_EQ(hex(client.request(Command::SetParity, {parityEven})),
                      "ff fa 2c 03 03 ff f0 ");
            EXPECT_EQ(hex(client.request(Command::SetBaudRate, baudValue(65280))),
                      "ff fa 2c 01 00 00 ff ff 00 ff f0 ");
            EXPECT_EQ(feedAll(client, c.server, bytewise), c.out);
            EXPECT_EQ(client.negotiation(), c.outcome);
        }
    }
}

TEST(PortUrlTest, OnlyTheSchemeWithHostAndPort) {
    // The name, whether a port on the network, the endpoint it names.
    const std::tuple<const char*, bool, std::optional<Endpoint>> cases[] = {
        {"rfc2217://127.0.0.1:2000", true, Endpoint{"127.0.0.1", 2000, "127.0.0.1:2000"}},
        {"RFC2217://rack-7.lab:65535", true, Endpoint{"rack-7.lab", 65535, "rack-7.lab:65535"}},
        {"rfc2217://[::1]:3001", true, Endpoint{"::1", 3001, "[::1]:3001"}},
        {"rfc2217://host", true, std::nullopt},
        {"rfc2217://host:65536", true, std::nullopt},
        {"rfc2217://:2000", true, std::nullopt},
        {"rfc2217://user@host:2000/", true, std::nullopt},
        {"host:2000", false, std::nullopt},
        {"/dev/ttyUSB0", false, std::nullopt},
    };
    for (const auto& [name, network, endpoint] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(isNetworkPortName(name), network);
        EXPECT_EQ(parsePortUrl(name), endpoint);
    }
}

} // namespace
} // namespace quill::rfc2217
