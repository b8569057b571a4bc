// SPDX-License-Identifier: MIT
#pragma once
// The texts of the live events: the names a line-control program reads
// (part of the published schema, data/quill-events.schema.json: a name here
// changes only with the schema's version) and what quill-cli says about
// where the events go.

namespace quill::events::text {

// The schema's version: raised by a change that removes a field or
// changes what one means; a field added keeps it.
inline constexpr int SchemaVersion = 1;

inline constexpr const char* RunStarted = "run_started";
inline constexpr const char* DeviceStarted = "device_started";
inline constexpr const char* Phase = "phase";
inline constexpr const char* Progress = "progress";
inline constexpr const char* Message = "message";
inline constexpr const char* DeviceEnded = "device_ended";
inline constexpr const char* RunEnded = "run_ended";

// The topic level of the run's own events, beside the ports'.
inline constexpr const char* RunTopic = "run";

// Where the events go.
inline constexpr const char* StandardOutput = "-";
inline constexpr const char* MqttScheme = "mqtt://";
inline constexpr const char* MqttsScheme = "mqtts://";
// A libmosquitto built without TLS (the Windows build's).
inline constexpr const char* NoTls =
    "this build of Quill has no TLS: use mqtt:// on a trusted network, or the Linux build";
inline constexpr int MqttPort = 1883;
inline constexpr int MqttsPort = 8883;
// The broker's password: never on a command line, which anyone on the
// machine can read.
inline constexpr const char* PasswordVariable = "QUILL_MQTT_PASSWORD";

// --events with what is not a target: "--events needs ..., not " TARGET.
inline constexpr const char* BadTarget =
    "--events needs -, a file, mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC, not ";
inline constexpr const char* BadTopic =
    "--events: the topic may not be empty, start or end with /, or hold + or #: ";
inline constexpr const char* TopicNotUtf8 = "--events: the topic must be UTF-8 without NUL: ";
// "--events: the topic is N bytes with its port and event levels; MQTT takes
// 65535 at most: " TOPIC (cut).
inline constexpr const char* TopicTooLong = "--events: the topic is ";
inline constexpr const char* TopicTooLongEnd =
    " bytes with its port and event levels; MQTT takes 65535 at most: ";
// What is echoed of a long target: its start, then this.
inline constexpr const char* Cut = "...";

// "cannot create the events file " FILE " (" the reason ")".
inline constexpr const char* FileNotCreated = "cannot create the events file ";
// "cannot create the events file " FILE, then one of these.
inline constexpr const char* NotFileOrFifo =
    ": it is neither a file nor a FIFO; give a file's path, a FIFO or -";
inline constexpr const char* FifoWithoutReader =
    ": the FIFO has no reader; start the program that reads it first";
// "The events could not be published to " URL ": " the reason.
inline constexpr const char* NotPublishedTo = "The events could not be published to ";
inline constexpr const char* NoAnswerWithin = "no answer from the broker within ";
inline constexpr const char* Seconds = " s";
// At the end: N " of " M " events could not be " "published to"/"written to" WHERE.
inline constexpr const char* Of = " of ";
inline constexpr const char* EventsCouldNot = " events could not be ";
inline constexpr const char* PublishedTo = "published to ";
inline constexpr const char* WrittenTo = "written to ";
inline constexpr const char* ConnectionLost = "the connection to the broker was lost";

} // namespace quill::events::text
