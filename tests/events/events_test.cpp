// SPDX-License-Identifier: MIT
// What --events names, read as a target or refused with its reason; the
// topic levels of ports; and the pace of a device's progress events, on a
// clock the test moves.

#include "events/eventsink.h"
#include "events/eventwriter.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace quill::events {
namespace {

std::string summary(std::string_view text) {
    std::string problem;
    const auto t = parseTarget(text, problem);
    if (!t || t->kind != Target::Kind::Broker) {
        return !t                              ? "refused: " + problem
               : t->kind == Target::Kind::File ? "file " + t->path
                                               : "standard output";
    }
    return std::string(t->tls ? "tls " : "") + t->host + " " + std::to_string(t->port) + " " +
           t->topic;
}

TEST(EventTargets, ReadAsExpectedAndPortsAsTopicLevels) {
    const std::string bad = "refused: --events needs -, a file, mqtt://HOST[:PORT]/TOPIC or "
                            "mqtts://HOST[:PORT]/TOPIC, not ";
    const std::string badTopic =
        "refused: --events: the topic may not be empty, start or end with /, or hold + or #: ";
    for (const auto& [text, expected] : {
             std::pair<std::string, std::string>{"-", "standard output"},
             {"events.jsonl", "file events.jsonl"},
             {"mqtt:events", "file mqtt:events"}, // no scheme: a file of that name
             {"mqtt://broker.line/line7", "broker.line 1883 line7"},
             {"MQTT://10.0.0.5:1884/line7/station3", "10.0.0.5 1884 line7/station3"},
             {"mqtts://broker.line/l7", "tls broker.line 8883 l7"},
             {"mqtt://[::1]:1883/l", "::1 1883 l"},
             {"mqtt://[fe80::1]/l", "fe80::1 1883 l"},
             {"", bad},
             {"mqtt://broker.line", bad + "mqtt://broker.line"},
             {"mqtt:///line7", bad + "mqtt:///line7"},
             {"mqtt://user@broker/line7", bad + "mqtt://user@broker/line7"},
             {"mqtt://broker:0/l", bad + "mqtt://broker:0/l"},
             {"mqtt://broker:65536/l", bad + "mqtt://broker:65536/l"},
             {"mqtt://broker:/l", bad + "mqtt://broker:/l"},
             {"mqtt://[::1/l", bad + "mqtt://[::1/l"},
             {"mqtt://broker/", badTopic + "mqtt://broker/"},
             {"mqtt://broker/line7/", badTopic + "mqtt://broker/line7/"},
             {"mqtt://broker//line7", badTopic + "mqtt://broker//line7"},
             {"mqtt://broker/line/+", badTopic + "mqtt://broker/line/+"},
             {"mqtt://broker/line/#", badTopic + "mqtt://broker/line/#"},
             {"mqtt://broker/line\xff", "refused: --events: the topic must be UTF-8 without "
                                        "NUL: mqtt://broker/line\\xff"},
             // A long target is echoed by its start.
             {"mqtt://b/#" + std::string(100, 'a'),
              badTopic + "mqtt://b/#" + std::string(70, 'a') + "..."},
         }) {
        EXPECT_EQ(summary(text), expected) << text;
    }
    // A port's topic level: each byte a broker would take for a wildcard or
    // that is not UTF-8 escaped, and the escape's own %, so that no two
    // ports share a level.
    for (const auto& [port, level] : {
             std::pair<std::string, std::string>{"/dev/ttyUSB0", "dev_ttyUSB0"},
             {"/tmp/a+b#c%41", "tmp_a%2Bb%23c%2541"},
             {std::string("p\xff\0\xc3\xa9", 5), "p%FF%00\xc3\xa9"},
         }) {
        EXPECT_EQ(topicLevel(port), level) << port;
    }
}

// A device's progress on a steady clock (ms) with the tenth of its records
// reached: which events go out.
TEST(ProgressPace, AtEachTenthAndEachSecondNeverMoreThanFourASecond) {
    ProgressGate gate;
    for (const auto& [ms, tenth, passes] : {
             std::tuple{1000, 0, true}, // the first records
             {1100, 1, false},          // a tenth, but too soon after the last
             {1250, 1, true},           // ... goes with the next allowed
             {1400, 1, false},          //
             {2249, 1, false},          // nothing new within a second
             {2250, 1, true},           // a second since the last
             {2300, 9, false},          // too soon
             {2500, 10, true},          // the records all sent
             {2600, 10, false},         //
             {3500, 10, true},          // still going out after a second: the end record's wait
         }) {
        EXPECT_EQ(gate.pass(ms, tenth), passes) << ms << " ms, tenth " << tenth;
    }
}

} // namespace
} // namespace quill::events
