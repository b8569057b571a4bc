// SPDX-License-Identifier: MIT
#pragma once
// Where the live events go: standard output, a file made afresh, or an MQTT
// broker (libmosquitto). A sink takes each event's line as it comes and
// never holds the run back: a file is flushed line by line, and a broker is
// written to by libmosquitto's own network thread, the run's thread only
// queueing. What could not be delivered is counted and said once, at the
// end.
//
//     std::string problem;
//     const auto target = parseTarget("mqtt://broker.line/line7", problem);
//     auto opened = openSink(*target, user, std::getenv(text::PasswordVariable), 5);
//     opened.sink->put("dev_ttyUSB0", "progress", line);   // topic line7/dev_ttyUSB0/progress
//     const std::string undelivered = opened.sink->finish();

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::events {

// Where --events sends the events.
struct Target {
    enum class Kind { StandardOutput, File, Broker };
    Kind kind = Kind::File;
    std::string path;  // File
    std::string host;  // Broker: without the brackets of an IPv6 address
    int port = 0;      // Broker: 1883 for mqtt://, 8883 for mqtts:// unless given
    std::string topic; // Broker: every event goes below it
    bool tls = false;  // mqtts://: TLS, the server checked against the system's certificates
    std::string shown; // as given: it holds no password
};

// -, mqtt://HOST[:PORT]/TOPIC, mqtts://HOST[:PORT]/TOPIC, or else a file's
// path. Empty, with the problem in words, when it is none of them: a
// topic must be UTF-8 without NUL and without the wildcards + and #.
std::optional<Target> parseTarget(std::string_view text, std::string& problem);

// The target as messages name it: whole when it is short, else its start
// and an ellipsis.
std::string targetShown(const Target& target);

// A port as a level of a topic: named as --log names its traces (the
// leading slashes dropped, each other slash an underscore), and each byte
// a broker would take for something else written %XX: %, +, #, NUL and
// every byte that is not part of valid UTF-8. "/dev/ttyUSB0" gives
// "dev_ttyUSB0", "/tmp/a+b" "tmp_a%2Bb".
std::string topicLevel(std::string_view port);

// Empty when every event of a run on `ports` has a topic MQTT takes: at
// most 65535 bytes with its port and event levels. Else the problem in
// words, the topic cut short.
std::string topicProblem(const Target& target, const std::vector<std::string>& ports);

class Sink {
  public:
    virtual ~Sink() = default;
    // One event's line, without its line end. `about` is the topic level of
    // the event's port (topicLevel) or of the run, `event` its name; a broker
    // publishes it to TOPIC/ABOUT/EVENT.
    virtual void put(const std::string& about, const char* event, const std::string& line) = 0;
    // After the last event: what could not be delivered, in words, once;
    // empty when everything was.
    virtual std::string finish() = 0;
};

struct OpenedSink {
    std::unique_ptr<Sink> sink;
    std::string problem; // in words, when there is no sink
};

// Standard output as it is; a file made afresh (its folders too) or a FIFO
// whose reader is there within 2 s, never a device or a folder; a broker
// connected to, and its answer awaited for `timeoutSeconds` at most.
// `user` empty: none; `password` is taken only with a user. `stopped` is
// asked often while anything is awaited (a FIFO's reader, the broker's
// answer, at the end the broker's acknowledgements): true ends the wait
// at once.
OpenedSink openSink(const Target& target, const std::string& user, const char* password,
                    int timeoutSeconds, std::function<bool()> stopped = {});

} // namespace quill::events
