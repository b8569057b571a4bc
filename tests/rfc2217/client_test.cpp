// SPDX-License-Identifier: MIT
// The Telnet client on bytes: what the server sends, fed whole and one byte
// at a time, and what the client makes of it and answers.

#include "rfc2217/client.h"
#include "rfc2217/porturl.h"

#include <gtest/gtest.h>

namespace quill::rfc2217 {
namespace {

using Bytes = std::vector<uint8_t>;

// The server's part of the negotiation, and the client's opening.
const Bytes agree{IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};
const Bytes opening{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 44};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes sub(uint8_t code, Bytes value) {
    return concat({{IAC, SB, 44, code}, value, {IAC, SE}});
}

// Feeds whole, or one byte per read; the events of all reads, with the
// data runs that the reads split joined again.
Client::Received feedAll(Client& client, const Bytes& bytes, bool bytewise) {
    Client::Received all;
    for (std::size_t at = 0; at < bytes.size(); at += bytewise ? 1 : bytes.size()) {
        const std::size_t count = bytewise ? 1 : bytes.size();
        Client::Received part = client.feed(std::span(bytes).subspan(at, count));
        all.reply.insert(all.reply.end(), part.reply.begin(), part.reply.end());
        for (Event& event : part.events) {
            if (event.kind == EventKind::Data && !all.events.empty() &&
                all.events.back().kind == EventKind::Data) {
                all.events.back().bytes.insert(all.events.back().bytes.end(), event.bytes.begin(),
                                               event.bytes.end());
            } else {
                all.events.push_back(std::move(event));
            }
        }
    }
    return all;
}

TEST(ClientTest, NegotiatesInAnyOrderWithoutLooping) {
    const struct {
        const char* what;
        Bytes server;
        Bytes reply;
        Negotiation outcome;
    } cases[] = {
        {"agreed", agree, {}, Negotiation::Agreed},
        {"other order", {IAC, DO, 44, IAC, WILL, 0, IAC, DO, 0}, {}, Negotiation::Agreed},
        {"half", {IAC, DO, 0, IAC, WILL, 0}, {}, Negotiation::Pending},
        {"said twice", concat({agree, agree}), {}, Negotiation::Agreed},
        {"ser2net 4.3", // offers go ahead suppression and echo first
         {IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,  IAC, DONT,
          1,   IAC,  DO, 0,   IAC, WILL, 0,   IAC,  DO, 44},
         {IAC, DO, 3, IAC, WILL, 3, IAC, DONT, 1},
         Negotiation::Agreed},
        {"unknown options refused",
         concat({{IAC, DO, 24, IAC, WILL, 31}, agree}),
         {IAC, WONT, 24, IAC, DONT, 31},
         Negotiation::Agreed},
        {"no serial port control",
         {IAC, DO, 0, IAC, WILL, 0, IAC, DONT, 44},
         {},
         Negotiation::NoComPort},
        {"no binary", {IAC, WONT, 0, IAC, DO, 44}, {}, Negotiation::NoBinary},
        {"binary withdrawn",
         concat({agree, {IAC, WONT, 0}}),
         {IAC, DONT, 0},
         Negotiation::NoBinary},
    };
    for (const auto& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? ", byte by byte" : ""));
            Client client;
            EXPECT_EQ(client.negotiation(), Negotiation::Pending);
            EXPECT_EQ(client.start(), opening);
            const Client::Received got = feedAll(client, c.server, bytewise);
            EXPECT_EQ(got.reply, c.reply);
            EXPECT_TRUE(got.events.empty());
            EXPECT_EQ(client.negotiation(), c.outcome);
        }
    }
}

TEST(ClientTest, SeparatesDataAnswersAndNotices) {
    const Event parityAnswer{EventKind::Answer, Command::SetParity, {parityEven}, {parityEven}};
    const auto data = [](Bytes bytes) { return Event{EventKind::Data, {}, {}, std::move(bytes)}; };
    const struct {
        const char* what;
        Bytes server;
        std::vector<Event> events;
    } cases[] = {
        {"escaped 0xFF in data", {0x41, IAC, IAC, 0x11, 0x13}, {data({0x41, 0xFF, 0x11, 0x13})}},
        {"commands without meaning", {0x41, IAC, 241, IAC, 249, 0x42}, {data({0x41, 0x42})}},
        {"answer", sub(103, {parityEven}), {parityAnswer}},
        {"wrong answer",
         sub(103, {paritySpace}),
         {{EventKind::Answer, Command::SetParity, {parityEven}, {paritySpace}}}},
        {"escaped 0xFF in a subnegotiation",
         sub(101, {0, 0, IAC, IAC, 0}),
         {{EventKind::Answer, Command::SetBaudRate, baudValue(65280), baudValue(65280)}}},
        {"notices between data",
         concat({{0x13}, sub(107, {0x30}), sub(106, {0x60}), {0x11}}),
         {data({0x13}),
          {EventKind::Notice, Command::NotifyModemState, {}, {0x30}},
          {EventKind::Notice, Command::NotifyLineState, {}, {0x60}},
          data({0x11})}},
        {"other options' subnegotiations", concat({{IAC, SB, 24, 0, IAC, SE}, sub(44, {1})}), {}},
        {"unescaped command ends a subnegotiation",
         concat({{IAC, SB, 44, 103, 3, IAC, DO, 0}}),
         {}},
        {"text before the server closes",
         {'D', 'e', 'v', ':', ' ', 'x', '\r', '\n'},
         {data({'D', 'e', 'v', ':', ' ', 'x', '\r', '\n'})}},
    };
    for (const auto& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? ", byte by byte" : ""));
            Client client;
            client.start();
            feedAll(client, agree, false);
            client.request(Command::SetParity, {parityEven});
            client.request(Command::SetBaudRate, baudValue(65280));
            EXPECT_EQ(feedAll(client, c.server, bytewise).events, c.events);
        }
    }
}

TEST(ClientTest, RequestsOnTheWireAndTheAnswersStillDue) {
    Client client;
    EXPECT_EQ(client.request(Command::SetBaudRate, baudValue(38400)), sub(1, {0, 0, 0x96, 0}));
    EXPECT_EQ(client.request(Command::SetBaudRate, baudValue(255)), sub(1, {0, 0, 0, IAC, IAC}));
    EXPECT_EQ(client.request(Command::PurgeData, {purgeReceive}), sub(12, {1}));
    feedAll(client, sub(101, {0, 0, 0x96, 0}), true);
    EXPECT_FALSE(client.answered());
    EXPECT_EQ(client.firstUnanswered(), Client::Request(Command::SetBaudRate, baudValue(255)));
    client.abandonRequests();
    EXPECT_EQ(feedAll(client, sub(112, {1}), false).events[0].kind, EventKind::Notice);
    EXPECT_EQ(Client::escape(Bytes{IAC, 0, IAC}), (Bytes{IAC, IAC, 0, IAC, IAC}));
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
        {"rfc2217://host:0", true, std::nullopt},
        {"rfc2217://host:65536", true, std::nullopt},
        {"rfc2217://:2000", true, std::nullopt},
        {"rfc2217://user@host:2000", true, std::nullopt},
        {"rfc2217://host:2000/", true, std::nullopt},
        {"rfc2217://host:-1", true, std::nullopt},
        {"host:2000", false, std::nullopt},
        {"telnet://host:2000", false, std::nullopt},
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
