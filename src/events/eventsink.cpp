// SPDX-License-Identifier: MIT
#include "events/eventsink.h"

#include "events/eventtexts.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace quill::events {

namespace {

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

// A file, or standard output ("-"). Each line goes out whole and at once, so
// that a reader following the file sees every event as it happens.
class FileSink final : public Sink {
  public:
    FileSink(std::FILE* file, std::string shown) : m_file(file), m_shown(std::move(shown)) {}
    ~FileSink() override { finish(); }

    void put(const std::string&, const char*, const std::string& line) override {
        ++m_given;
        if (m_file == nullptr || m_error != 0) {
            return; // after a failure (a full disk, a reader gone) every line is lost
        }
        if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
            std::fputc('\n', m_file) == EOF || std::fflush(m_file) != 0) {
            m_error = errno != 0 ? errno : EIO;
            m_lostFrom = m_given;
        }
    }

    std::string finish() override {
        if (m_file != nullptr && m_file != stdout && std::fclose(m_file) != 0 && m_error == 0) {
            m_error = errno;
            m_lostFrom = m_given; // the last buffer, at least
        }
        m_file = nullptr;
        if (m_error == 0 || m_told) {
            return {};
        }
        m_told = true;
        return std::to_string(m_given - m_lostFrom + 1) + text::Of + std::to_string(m_given) +
               text::EventsCouldNot + text::WrittenTo + m_shown + " (" + std::strerror(m_error) +
               ")";
    }

  private:
    std::FILE* m_file;
    std::string m_shown;
    int64_t m_given = 0;
    int64_t m_lostFrom = 0; // the first event not written
    int m_error = 0;
    bool m_told = false;
};

// A broker, through libmosquitto's threaded client: its network thread
// connects, reconnects after a loss, and sends what was queued; the run's
// thread only queues each event (QoS 1) and never waits for the network.
// What the broker acknowledged is counted, so that what never reached it
// can be said at the end.
class BrokerSink final : public Sink {
  public:
    explicit BrokerSink(const Target& target) : m_target(target) {
        mosquitto_lib_init();
        m_client = mosquitto_new(nullptr, true, this);
    }
    ~BrokerSink() override {
        stop();
        mosquitto_destroy(m_client);
        mosquitto_lib_cleanup();
    }
    BrokerSink(const BrokerSink&) = delete;
    BrokerSink& operator=(const BrokerSink&) = delete;

    // Empty when the broker accepted the connection in time.
    std::string connect(const std::string& user, const char* password, int timeoutSeconds) {
        if (m_client == nullptr) {
            return std::strerror(ENOMEM);
        }
        mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!user.empty()) {
            mosquitto_username_pw_set(m_client, user.c_str(), password);
        }
        if (m_target.tls) {
            mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        }
        mosquitto_connect_callback_set(m_client, [](mosquitto*, void* self, int rc) {
            static_cast<BrokerSink*>(self)->connected(rc);
        });
        mosquitto_disconnect_callback_set(m_client, [](mosquitto*, void* self, int rc) {
            static_cast<BrokerSink*>(self)->disconnected(rc);
        });
        mosquitto_publish_callback_set(m_client, [](mosquitto*, void* self, int) {
            static_cast<BrokerSink*>(self)->acknowledged();
        });
        mosquitto_reconnect_delay_set(m_client, 1, 8, true);
        int rc = mosquitto_loop_start(m_client);
        m_looping = rc == MOSQ_ERR_SUCCESS;
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_connect_async(m_client, m_target.host.c_str(), m_target.port, 30);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
        }
        std::unique_lock lock(m_mutex);
        const bool answered =
            m_changed.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                               [this] { return m_connected || !m_firstFailure.empty(); });
        if (m_connected) {
            return {};
        }
        return answered ? m_firstFailure
                        : text::NoAnswerWithin + std::to_string(timeoutSeconds) + text::Seconds;
    }

    void put(const std::string& about, const char* event, const std::string& line) override {
        const std::string topic = m_target.topic + '/' + about + '/' + event;
        const int rc = mosquitto_publish(m_client, nullptr, topic.c_str(),
                                         static_cast<int>(line.size()), line.data(), 1, false);
        const std::lock_guard lock(m_mutex);
        ++m_given;
        if (rc != MOSQ_ERR_SUCCESS) {
            ++m_refused;
            if (m_reason.empty()) {
                m_reason = mosquitto_strerror(rc);
            }
        }
    }

    // What is still on its way gets a moment to arrive, while the broker is
    // there or comes back; a broker that stays away costs that moment alone.
    std::string finish() override {
        std::unique_lock lock(m_mutex);
        if (m_finished) {
            return {};
        }
        m_finished = true;
        m_changed.wait_for(lock, std::chrono::seconds(2),
                           [this] { return m_acknowledged + m_refused >= m_given; });
        const int64_t lost = m_given - std::min(m_given, m_acknowledged);
        const std::string reason = m_lost ? text::ConnectionLost : m_reason;
        lock.unlock();
        stop();
        if (lost == 0) {
            return {};
        }
        return std::to_string(lost) + text::Of + std::to_string(m_given) + text::EventsCouldNot +
               text::PublishedTo + m_target.shown + (reason.empty() ? "" : " (" + reason + ")");
    }

  private:
    void connected(int rc) {
        const std::lock_guard lock(m_mutex);
        if (rc == 0) {
            m_connected = true;
        } else if (m_firstFailure.empty()) {
            m_firstFailure = mosquitto_connack_string(rc);
        }
        m_changed.notify_all();
    }

    void disconnected(int rc) {
        const std::lock_guard lock(m_mutex);
        if (m_connected) {
            m_lost = m_lost || rc != 0;
            m_connected = false;
        } else if (m_firstFailure.empty()) {
            m_firstFailure = rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
        }
        m_changed.notify_all();
    }

    void acknowledged() {
        const std::lock_guard lock(m_mutex);
        ++m_acknowledged;
        m_changed.notify_all();
    }

    void stop() {
        if (m_looping) {
            m_looping = false;
            mosquitto_disconnect(m_client);
            mosquitto_loop_stop(m_client, false);
        }
    }

    const Target m_target;
    mosquitto* m_client = nullptr;
    bool m_looping = false;
    std::mutex m_mutex; // what the network thread tells
    std::condition_variable m_changed;
    bool m_connected = false;
    bool m_lost = false; // the connection went after it was made
    std::string m_firstFailure;
    std::string m_reason; // why a publication was refused
    int64_t m_given = 0;
    int64_t m_refused = 0;
    int64_t m_acknowledged = 0;
    bool m_finished = false;
};

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
            problem = text::BadTarget + std::string(text);
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
        problem = text::BadTarget + std::string(text);
        return std::nullopt;
    }
    t.topic = rest.substr(slash + 1);
    if (t.topic.empty() || t.topic.ends_with('/') || t.topic.starts_with('/') ||
        t.topic.find_first_of("+#") != std::string::npos) {
        problem = text::BadTopic + std::string(text);
        return std::nullopt;
    }
    return t;
}

OpenedSink openSink(const Target& target, const std::string& user, const char* password,
                    int timeoutSeconds) {
    // A reader that goes away (a pipe closed, a broker killed) is a write
    // that fails, to be said at the end, not a signal that ends quill-cli in
    // the middle of a download.
    std::signal(SIGPIPE, SIG_IGN);
    OpenedSink opened;
    switch (target.kind) {
    case Target::Kind::StandardOutput:
        opened.sink = std::make_unique<FileSink>(stdout, target.shown);
        break;
    case Target::Kind::File: {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::path(target.path).parent_path();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, error);
        }
        std::FILE* file = std::fopen(target.path.c_str(), "w");
        if (file == nullptr) {
            opened.problem = text::FileNotCreated + target.path + " (" +
                             (error ? error.message() : std::strerror(errno)) + ")";
            break;
        }
        opened.sink = std::make_unique<FileSink>(file, target.path);
        break;
    }
    case Target::Kind::Broker: {
        auto broker = std::make_unique<BrokerSink>(target);
        const std::string failure = broker->connect(user, password, timeoutSeconds);
        if (!failure.empty()) {
            opened.problem = text::NotPublishedTo + target.shown + ": " + failure;
            break;
        }
        opened.sink = std::move(broker);
        break;
    }
    }
    return opened;
}

} // namespace quill::events
