// SPDX-License-Identifier: MIT
#include "events/eventsink.h"

#include "events/eventfile.h"
#include "events/eventtexts.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

namespace quill::events {

namespace {

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
    BrokerSink(const Target& target, std::function<bool()> stopped)
        : m_target(target), m_stopped(std::move(stopped)) {
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
        if (m_target.tls && mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1) ==
                                MOSQ_ERR_NOT_SUPPORTED) {
            return text::NoTls;
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
        const bool answered = waitFor(lock, std::chrono::seconds(timeoutSeconds),
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
        waitFor(lock, std::chrono::seconds(2),
                [this] { return m_acknowledged + m_refused >= m_given; });
        const int64_t lost = m_given - std::min(m_given, m_acknowledged);
        const std::string reason = m_lost ? text::ConnectionLost : m_reason;
        lock.unlock();
        stop();
        if (lost == 0) {
            return {};
        }
        return std::to_string(lost) + text::Of + std::to_string(m_given) + text::EventsCouldNot +
               text::PublishedTo + targetShown(m_target) +
               (reason.empty() ? "" : " (" + reason + ")");
    }

  private:
    // Until `done`, the time is up or the wait is stopped from outside,
    // which is asked every tenth of a second. Whether `done`.
    template <typename Done>
    bool waitFor(std::unique_lock<std::mutex>& lock, std::chrono::seconds patience, Done done) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!done() && std::chrono::steady_clock::now() < deadline &&
               !(m_stopped && m_stopped())) {
            m_changed.wait_for(lock, std::chrono::milliseconds(100));
        }
        return done();
    }

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
    const std::function<bool()> m_stopped;
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

OpenedSink openSink(const Target& target, const std::string& user, const char* password,
                    int timeoutSeconds, std::function<bool()> stopped) {
    // A reader that goes away (a pipe closed, a broker killed) is a write
    // that fails, to be said at the end, not a signal that ends quill-cli in
    // the middle of a download.
    std::signal(SIGPIPE, SIG_IGN);
    OpenedSink opened;
    switch (target.kind) {
    case Target::Kind::StandardOutput:
        opened.sink = std::make_unique<FileSink>(stdout, target.shown);
        break;
    case Target::Kind::File:
        if (std::FILE* file = openEventsFile(target.path, stopped, opened.problem)) {
            opened.sink = std::make_unique<FileSink>(file, target.path);
        }
        break;
    case Target::Kind::Broker: {
        auto broker = std::make_unique<BrokerSink>(target, std::move(stopped));
        const std::string failure = broker->connect(user, password, timeoutSeconds);
        if (!failure.empty()) {
            opened.problem = text::NotPublishedTo + targetShown(target) + ": " + failure;
            break;
        }
        opened.sink = std::move(broker);
        break;
    }
    }
    return opened;
}

} // namespace quill::events
