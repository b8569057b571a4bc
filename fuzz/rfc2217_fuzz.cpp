// SPDX-License-Identifier: MIT
// The client side of a serial port on the network, fed whatever a server
// may send. The first byte of the input says whether the client has opened
// the negotiation and which requests wait for an answer; the rest is what
// the server sends. Whatever it is, the client reads it as serial data, as
// answers and notices of the serial port control option, or as a refusal of
// the negotiation, and replies only to negotiation: never more bytes out
// than came in, every answer to a request it made, echo never agreed to.
// How the bytes are cut into pieces changes nothing of that reading, and
// data and answers escaped as the client escapes them read back as
// themselves.

#include "fuzzcheck.h"
#include "rfc2217/client.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace quill::fuzz {
namespace {

using namespace rfc2217;

// The requests that may wait, one bit of the first byte each after the
// lowest, which says whether the negotiation was opened.
const Client::Request waiting[] = {
    {Command::SetBaudRate, baudValue(9600)},   {Command::SetParity, {parityMark}},
    {Command::SetControl, {controlNoFlowOut}}, {Command::PurgeData, {purgeReceive}},
    {Command::SetBaudRate, baudValue(38400)},
};

// A client as the serial control leaves it before the server speaks.
Client prepared(uint8_t setup) {
    Client client;
    if ((setup & 1) != 0) {
        client.start();
    }
    for (size_t k = 0; k < std::size(waiting); ++k) {
        if ((setup >> (k + 1) & 1) != 0) {
            client.request(waiting[k].first, waiting[k].second);
        }
    }
    return client;
}

int requestsIn(uint8_t setup) {
    int n = 0;
    for (size_t k = 0; k < std::size(waiting); ++k) {
        n += setup >> (k + 1) & 1;
    }
    return n;
}

// The events of several feeds as one: serial data that came in pieces is
// one run of data.
void append(std::vector<Event>& all, std::vector<Event>& more) {
    for (Event& event : more) {
        if (event.kind == EventKind::Data && !all.empty() && all.back().kind == EventKind::Data) {
            all.back().bytes.insert(all.back().bytes.end(), event.bytes.begin(), event.bytes.end());
        } else {
            all.push_back(std::move(event));
        }
    }
}

// The reply is whole negotiation commands, and the client agrees to
// nothing but binary mode, suppressed go-ahead and serial port control.
void checkReply(const std::vector<uint8_t>& reply) {
    require(reply.size() % 3 == 0, "a reply is whole negotiation commands");
    for (size_t at = 0; at + 2 < reply.size(); at += 3) {
        const uint8_t verb = reply[at + 1], option = reply[at + 2];
        require(reply[at] == IAC && (verb == WILL || verb == WONT || verb == DO || verb == DONT),
                "a reply is whole negotiation commands");
        require(verb == WONT || verb == DONT || option == optionBinary ||
                    option == optionSuppressGoAhead || option == optionComPort,
                "the client agrees only to binary, suppressed go-ahead and port control");
    }
}

} // namespace
} // namespace quill::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quill::fuzz;
    using namespace quill::rfc2217;
    if (size == 0) {
        return 0;
    }
    const uint8_t setup = data[0];
    const std::span<const uint8_t> sent(data + 1, size - 1);

    // All at once.
    Client whole = prepared(setup);
    Client::Received all = whole.feed(sent);
    std::vector<Event> wholeEvents;
    append(wholeEvents, all.events);
    checkReply(all.reply);
    require(all.reply.size() <= sent.size(), "never more bytes out than came in");

    size_t bytesOut = 0;
    int answers = 0;
    for (const Event& event : wholeEvents) {
        bytesOut += event.bytes.size();
        if (event.kind == EventKind::Data) {
            require(!event.bytes.empty(), "no empty data");
            continue;
        }
        const auto command = static_cast<uint8_t>(event.command);
        require(command >= 1 && command <= static_cast<uint8_t>(Command::PurgeData),
                "a server message is one of the port control's commands");
        if (event.kind == EventKind::Answer) {
            ++answers;
            bool asked = false;
            for (const auto& [c, value] : waiting) {
                asked = asked || (c == event.command && value == event.asked);
            }
            require(asked, "an answer goes with a request the client made");
        }
    }
    require(bytesOut <= sent.size(), "never more data and messages than bytes came in");
    require(answers <= requestsIn(setup) && (answers == requestsIn(setup)) == whole.answered(),
            "each request is answered once at most, and none is forgotten");

    // A byte at a time: the same reading, the same replies, the same state.
    Client piecewise = prepared(setup);
    std::vector<Event> pieceEvents;
    std::vector<uint8_t> pieceReply;
    for (const uint8_t byte : sent) {
        Client::Received r = piecewise.feed(std::span(&byte, 1));
        append(pieceEvents, r.events);
        pieceReply.insert(pieceReply.end(), r.reply.begin(), r.reply.end());
    }
    require(pieceEvents == wholeEvents, "pieces read as the whole");
    require(pieceReply == all.reply, "pieces are replied to as the whole");
    require(piecewise.negotiation() == whole.negotiation() &&
                piecewise.firstUnanswered() == whole.firstUnanswered(),
            "pieces leave the state the whole leaves");

    // Data escaped as the client escapes it reads back as itself.
    Client fresh;
    Client::Received echoed = fresh.feed(Client::escape(sent));
    require(echoed.reply.empty() && echoed.events.size() <= 1, "escaped data is only data");
    require(echoed.events.empty()
                ? sent.empty()
                : echoed.events[0].kind == EventKind::Data &&
                      std::equal(echoed.events[0].bytes.begin(), echoed.events[0].bytes.end(),
                                 sent.begin(), sent.end()),
            "escaped data reads back as itself");

    // So does an answer escaped as the client escapes its requests, when it
    // is no longer than the option's messages are.
    if (sent.size() <= 16) {
        const std::vector<uint8_t> value(sent.begin(), sent.end());
        Client asker;
        std::vector<uint8_t> answer = asker.request(Command::SetBaudRate, value);
        answer[3] += serverOffset;
        const Client::Received back = asker.feed(answer);
        require(back.reply.empty() && back.events.size() == 1 &&
                    back.events[0] ==
                        Event{EventKind::Answer, Command::SetBaudRate, value, value} &&
                    asker.answered(),
                "an escaped answer reads back as itself");
    }
    return 0;
}
