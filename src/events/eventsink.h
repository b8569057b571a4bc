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

#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
// path. Empty, with the problem in words, when it is none of them.
std::optional<Target> parseTarget(std::string_view text, std::string& problem);

class Sink {
  public:
    virtual ~Sink() = default;
    // One event's line, without its line end. `about` is the topic level of
    // the event's port (or of the run), `event` its name; a broker publishes
    // it to TOPIC/ABOUT/EVENT.
    virtual void put(const std::string& about, const char* event, const std::string& line) = 0;
    // After the last event: what could not be delivered, in words, once;
    // empty when everything was.
    virtual std::string finish() = 0;
};

struct OpenedSink {
    std::unique_ptr<Sink> sink;
    std::string problem; // in words, when there is no sink
};

// Standard output as it is; a file made afresh (its folders too); a broker
// connected to, and its answer awaited for `timeoutSeconds` at most.
// `user` empty: none; `password` is taken only with a user.
OpenedSink openSink(const Target& target, const std::string& user, const char* password,
                    int timeoutSeconds);

} // namespace quill::events
