// SPDX-License-Identifier: MIT
// The Telnet client on bytes: what the server sends, fed whole and one byte
// at a time, and what the client makes of it and answers.

#include "rfc2217/client.h"
#include "rfc2217/porturl.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quill::rfc2217 {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes agree{IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes sub(uint8_t code, const Bytes& value) {
    return concat({{IAC, SB, 44, code}, value, {IAC, SE}});
}

std::string hex(const Bytes& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x ", byte);
        text += digits;
    }
    return text;
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

TEST(ClientTest, NegotiatesInAnyOrderWithoutLooping) {
    const struct {
        const char* what;
        Bytes server;
        const char* reply;
        Negotiation outcome;
    } cases[] = {
        {"agreed", agree, "| ", Negotiation::Agreed},
        {"half", {IAC, DO, 0, IAC, WILL, 0}, "| ", Negotiation::Pending},
        {"said twice", concat({agree, agree}), "| ", Negotiation::Agreed},
        {"ser2net 4.3, which offers go-ahead suppression and echo",
         {IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,  IAC, DONT,
          1,   IAC,  DO, 0,   IAC, WILL, 0,   IAC,  DO, 44},
         "ff fd 03 ff fb 03 ff fe 01 | ",
         Negotiation::Agreed},
        {"unknown options", concat({{IAC, DO, 24, IAC, WILL, 31}, agree}), "ff fc 18 ff fe 1f | ",
         Negotiation::Agreed},
        {"no serial port control",
         {IAC, DO, 0, IAC, WILL, 0, IAC, DONT, 44},
         "| ",
         Negotiation::NoComPort},
        {"no binary", {IAC, WONT, 0, IAC, DO, 44}, "| ", Negotiation::NoBinary},
        {"binary withdrawn", concat({agree, {IAC, WONT, 0}}), "ff fe 00 | ", Negotiation::NoBinary},
    };
    for (const auto& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? ", byte by byte" : ""));
            Client client;
            EXPECT_EQ(client.negotiation(), Negotiation::Pending);
            EXPECT_EQ(hex(client.start()), "ff fb 00 ff fd 00 ff fb 2c ");
            EXPECT_EQ(feedAll(client, c.server, bytewise), c.reply);
            EXPECT_EQ(client.negotiation(), c.outcome);
        }
    }
}

// Asked for EVEN parity and 65280 baud (00 00 ff 00), which must be escaped.
TEST(ClientTest, SeparatesDataAnswersAndNotices) {
    const struct {
        const char* what;
        Bytes server;
        const char* events;
    } cases[] = {
        {"escaped 0xFF in data", {0x41, IAC, IAC, 0x11}, "| 41 ff 11 "},
        {"commands without meaning", {0x41, IAC, 241, IAC, 249, 0x42}, "| 41 42 "},
        {"answer", sub(103, {3}), "| [answer 3: 03 to 03 ] "},
        {"wrong answer", sub(103, {5}), "| [answer 3: 05 to 03 ] "},
        {"escaped 0xFF in a subnegotiation", sub(101, {0, 0, IAC, IAC, 0}),
         "| [answer 1: 00 00 ff 00 to 00 00 ff 00 ] "},
        {"notices between data", concat({{0x13}, sub(107, {0x30}), sub(106, {0x60}), {0x11}}),
         "| 13 [notice 7: 30 ] [notice 6: 60 ] 11 "},
        {"other options' subnegotiations", concat({{IAC, SB, 24, 0, IAC, SE}, {0x41}}), "| 41 "},
        {"an unescaped command ends a subnegotiation",
         {IAC, SB, 44, 103, 3, IAC, DO, 0, 0x41},
         "| 41 "},
    };
    for (const auto& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? ", byte by byte" : ""));
            Client client;
            client.start();
            feedAll(client, agree, false);
            EXPECT_EQ(hex(client.request(Command::SetParity, {parityEven})),
                      "ff fa 2c 03 03 ff f0 ");
            EXPECT_EQ(hex(client.request(Command::SetBaudRate, baudValue(65280))),
                      "ff fa 2c 01 00 00 ff ff 00 ff f0 ");
            EXPECT_EQ(feedAll(client, c.server, bytewise), c.events);
        }
    }
}

TEST(PortUrlTest, OnlyTheSchemeWithHostAndPort) {
    const struct {
        const char* name;
        bool network;
        std::optional<Endpoint> endpoint;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isNetworkPortName(c.name), c.network);
        EXPECT_EQ(parsePortUrl(c.name), c.endpoint);
    }
}

} // namespace
} // namespace quill::rfc2217
