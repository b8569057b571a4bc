// SPDX-License-Identifier: MIT
// quill-devsim --listen on its own: where it listens, and its Telnet layer
// byte by byte (what the device hears of the client's bytes, and what the
// client is sent back).

#include "devsim/options.h"
#include "devsim/telnetserver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace quill::devsim {
namespace {

// "FF FB 2C" and back.
std::vector<uint8_t> bytes(const std::string& hex) {
    std::istringstream in(hex);
    std::vector<uint8_t> out;
    for (unsigned b = 0; in >> std::hex >> b;) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char word[4];
    for (const uint8_t b : bytes) {
        text.append(word, std::snprintf(word, sizeof word, " %02X", b));
    }
    return text.empty() ? "" : text.substr(1);
}

// The opening of a client that wants binary mode and port control.
const std::string hello = "FF FB 00 FF FD 00 FF FB 2C";
const std::string agreed = "FF FD 00 FF FB 00 FF FD 2C";

TEST(TelnetServer, AnswersTheClientAndPassesTheDataUnescaped) {
    // What the client sends, in pieces split by '|'; the data the device
    // hears, " / " where the line changed; what the client is sent back.
    const std::tuple<const char*, std::string, const char*, std::string> cases[] = {
        {"data as it is, 0xFF doubled", "3A 30 FF FF 0D|FF|FF 0A", "3A 30 FF 0D FF 0A", ""},
        {"negotiation answered once", hello + "|" + hello, "", agreed},
        {"echo and others refused, refusal taken", "FF FD 01 FF FB 18 FF FE 00", "",
         "FF FC 01 FF FE 18"},
        {"no port commands before the option", "FF FA 2C 01 00 00 96 00 FF F0 11", "11", ""},
        {"baud set, a value with 0xFF, asked",
         hello + "|FF FA 2C 01 00 00 FF FF FF FF FF F0|FF FA 2C 01 00 00 00 00 FF F0", "",
         agreed + " FF FA 2C 65 00 00 FF FF FF FF FF F0 FF FA 2C 65 00 00 FF FF FF FF FF F0"},
        {"parity, size, stop bits set and asked",
         hello +
             "|FF FA 2C 03 04 FF F0 FF FA 2C 03 00 FF F0|FF FA 2C 02 07 FF F0 FF FA 2C 04 00 FF F0",
         "",
         agreed + " FF FA 2C 67 04 FF F0 FF FA 2C 67 04 FF F0 FF FA 2C 66 07 FF F0 FF FA 2C 68 01 "
                  "FF F0"},
        {"control, masks, purge echoed; an unknown parity answered with the setting",
         hello + "|FF FA 2C 05 0E FF F0 FF FA 2C 05 0D FF F0 FF FA 2C 0A 00 FF F0 FF FA 2C 0C 01 "
                 "FF F0 FF FA 2C 03 09 FF F0",
         "",
         agreed + " FF FA 2C 69 0E FF F0 FF FA 2C 69 0E FF F0 FF FA 2C 6E 00 FF F0 FF FA 2C 70 01 "
                  "FF F0 FF FA 2C 67 01 FF F0"},
        {"data around split commands, a piece per line",
         hello + " 41 FF|FA 2C 03 04 FF|F0 42 FF FA 2C 03 04 FF F0 43 FF FA 2C 03 03 FF F0 44",
         "41 / 42 43 / 44",
         agreed + " FF FA 2C 67 04 FF F0 FF FA 2C 67 04 FF F0 FF FA 2C 67 03 FF F0"},
    };
    for (const auto& [name, sent, heard, reply] : cases) {
        SCOPED_TRACE(name);
        TelnetServer server;
        std::string data; // " / " where the line changed
        PortLine last;
        std::vector<uint8_t> back;
        std::istringstream pieces(sent);
        for (std::string piece; std::getline(pieces, piece, '|');) {
            const TelnetServer::Received r = server.feed(bytes(piece));
            for (const TelnetServer::Data& piece : r.data) {
                data += (data.empty() ? "" : piece.line == last ? " " : " / ") + hex(piece.bytes);
                last = piece.line;
            }
            back.insert(back.end(), r.reply.begin(), r.reply.end());
        }
        EXPECT_EQ(data, heard);
        EXPECT_EQ(hex(back), reply);
    }
    // The device's answers as they go to the client.
    EXPECT_EQ(hex(TelnetServer::escape(bytes("13 FF 11 FF FF"))), "13 FF FF 11 FF FF FF FF");
}

TEST(DevsimOptions, ListenOnLocalhostUnlessAHostIsGiven) {
    // --listen's value, then the host and port, or empty when refused.
    const std::pair<const char*, const char*> cases[] = {
        {"4001", "127.0.0.1 4001"},
        {"0.0.0.0:0", "0.0.0.0 0"},
        {"[::]:4001", ":: 4001"},
        {"localhost:65535", "localhost 65535"},
        {"::1:4001", ""},
        {":4001", ""},
        {"4001x", ""},
        {"65536", ""},
        {"[::1]", ""},
    };
    for (const auto& [value, expected] : cases) {
        const ParsedOptions parsed = parseOptions({"--listen", value});
        const std::string got = parsed.options ? parsed.options->listenHost + " " +
                                                     std::to_string(parsed.options->listenPort)
                                               : "";
        EXPECT_EQ(got, expected) << value << parsed.error;
    }
    EXPECT_FALSE(parseOptions({"--listen", "1", "--count", "2"}).options);
    EXPECT_FALSE(parseOptions({"--listen", "1", "--link", "/tmp/x"}).options);
    EXPECT_FALSE(parseOptions({}).options->listen);
}

} // namespace
} // namespace quill::devsim
