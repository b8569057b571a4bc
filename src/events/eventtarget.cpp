// SPDX-License-Identifier: MIT
// Where --events sends the events, as the command line names it, and the
// topics of a broker: checked before any port is touched, so that no event
// is lost to a topic the broker cannot take.
#include "events/eventsink.h"

#include "events/eventtexts.h"
#include "runner/runplan.h"
#include "shared/utf8text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quill::events {

namespace {

// A target is echoed whole when it is short; a long one by its start.
constexpr size_t shownAtMost = 80;

std::string shortened(std::string_view text) {
    return text.size() <= shownAtMost ? utf8Text(text)
                                      : utf8Text(text.substr(0, shownAtMost)) + text::Cut;
}

bool utf8WithoutNul(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const size_t n = byte >= 0x80 ? utf8SequenceLength(text, i) : byte != 0 ? 1 : 0;
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWith(std::string_view text, std::string_view scheme) {
    return text.size() >= scheme.size() && std::equal(scheme.begin(), scheme.end(), text.begin(),
                                                      [](char s, char c) { return s == lower(c); });
}

bool hostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

// HOST, HOST:PORT, [IPV6] or [IPV6]:PORT.
bool readAuthority(std::string_view authority, Target& t) {
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && (!after.starts_with(':') || after.size() == 1)) {
            return false;
        }
        port = after.empty() ? after : after.substr(1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), [](char c) {
                return c == ':' || c == '.' || (c >= '0' && c <= '9') ||
                       (lower(c) >= 'a' && lower(c) <= 'f');
            })) {
            return false;
        }
    } else {
        const size_t colon = authority.rfind(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            if (port.empty()) {
                return false;
            }
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), hostCharacter)) {
            return false;
        }
    }
    t.host = host;
    if (!port.empty()) {
        int value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc{} || end != port.data() + port.size() || value < 1 ||
            value > 65535) {
            return false;
        }
        t.port = value;
    }
    return true;
}

} // namespace

std::optional<Target> parseTarget(std::string_view text, std::string& problem) {
    Target t;
    t.shown = text;
    if (text == text::StandardOutput) {
        t.kind = Target::Kind::StandardOutput;
        return t;
    }
    t.tls = startsWith(text, text::MqttsScheme);
    if (!t.tls && !startsWith(text, text::MqttScheme)) {
        if (text.empty()) {
            problem = text::BadTarget + shortened(text);
            return std::nullopt;
        }
        t.path = text;
        return t;
    }
    t.kind = Target::Kind::Broker;
    t.port = t.tls ? text::MqttsPort : text::MqttPort;
    const std::string_view rest =
        text.substr(std::string_view(t.tls ? text::MqttsScheme : text::MqttScheme).size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !readAuthority(rest.substr(0, slash), t)) {
        problem = text::BadTarget + shortened(text);
        return std::nullopt;
    }
    t.topic = rest.substr(slash + 1);
    if (t.topic.empty() || t.topic.ends_with('/') || t.topic.starts_with('/') ||
        t.topic.find_first_of("+#") != std::string::npos) {
        problem = text::BadTopic + shortened(text);
        return std::nullopt;
    }
    if (!utf8WithoutNul(t.topic)) {
        problem = text::TopicNotUtf8 + shortened(text);
        return std::nullopt;
    }
    return t;
}

std::string targetShown(const Target& target) {
    return shortened(target.shown);
}

std::string topicLevel(std::string_view port) {
    const std::string stem = portFileStem(port);
    std::string level;
    for (size_t i = 0; i < stem.size();) {
        const auto byte = static_cast<unsigned char>(stem[i]);
        const size_t n = byte >= 0x80 ? utf8SequenceLength(stem, i) : 1;
        if (n > 1) {
            level.append(stem, i, n);
            i += n;
            continue;
        }
        if (byte >= 0x80 || byte == 0 || byte == '%' || byte == '+' || byte == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            level += escaped;
        } else {
            level += static_cast<char>(byte);
        }
        ++i;
    }
    return level;
}

std::string topicProblem(const Target& target, const std::vector<std::string>& ports) {
    if (target.kind != Target::Kind::Broker) {
        return {};
    }
    // The run's own level, or COMn when the port is the stored one.
    size_t level =
        std::max(std::string_view(text::RunTopic).size(), std::string_view("COMn").size());
    for (const std::string& port : ports) {
        level = std::max(level, topicLevel(port).size());
    }
    size_t event = 0;
    for (const char* name : {text::RunStarted, text::DeviceStarted, text::Phase, text::Progress,
                             text::Message, text::DeviceEnded, text::RunEnded}) {
        event = std::max(event, std::string_view(name).size());
    }
    const size_t whole = target.topic.size() + 1 + level + 1 + event;
    if (whole <= 65535) {
        return {};
    }
    return text::TopicTooLong + std::to_string(whole) + text::TopicTooLongEnd +
           shortened(target.topic);
}

} // namespace quill::events
