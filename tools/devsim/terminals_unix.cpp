// SPDX-License-Identifier: MIT
// quill-devsim on pseudo-terminals (Linux): the first line on stdout is the
// terminal to open. With --count N it plays N devices at once, one
// terminal each (one line each on stdout), all from one poll loop: none
// waits for another.

#include "devsim/devicefiles.h"
#include "devsim/devicemodel.h"
#include "devsim/ptyline.h"
#include "devsim/terminals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>

using namespace quill::devsim;
using quill::pty::Link;
using quill::pty::Pty;
using Clock = std::chrono::steady_clock;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

// One device on its terminal: what arrives is answered when its time comes.
class Session {
  public:
    Session(const DeviceOptions& options, bool exitAfterDownload, std::string logPrefix,
            std::unique_ptr<Pty> pty, std::optional<Link> link)
        : m_options(options), m_exitAfterDownload(exitAfterDownload),
          m_files(options.logPath, options.imagePath, std::move(logPrefix)), m_pty(std::move(pty)),
          m_link(std::move(link)), m_model(options.config) {
        // Replies are logged when they go on the wire, not when planned.
        m_model.setLogSink([this](DeviceModel::LogKind kind, const std::string& line) {
            if (kind != DeviceModel::LogKind::Device) {
                log(line);
            }
        });
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Once a pass of the loop, not a line at a time: with many devices the
    // log must not hold up the answers of the others.
    void flushLog() { m_files.flushLog(); }

    bool logOpen() const { return m_files.logOpen(); }
    const std::string& slavePath() const { return m_slavePath; }
    bool ended() const { return m_code.has_value(); }
    int code() const { return m_code.value_or(0); }
    int fd() const { return ended() ? -1 : m_pty->master(); }

    // When the session wants to look again without input: its next answer
    // is due, or it waits for its last answers to be read.
    std::optional<Clock::time_point> due() const {
        if (ended()) {
            return std::nullopt;
        }
        if (m_drainingSince) {
            return Clock::now() + std::chrono::milliseconds(5);
        }
        if (!m_pending.empty()) {
            return m_pending.begin()->first;
        }
        return std::nullopt;
    }

    // After a poll: reads what came, sends what is due, and tells whether it ended.
    void step(short revents) {
        if (ended()) {
            return;
        }
        if ((revents & POLLIN) != 0) {
            if (!receive()) {
                end(0);
                return;
            }
        } else if ((revents & (POLLHUP | POLLERR)) != 0) {
            end(1); // cannot happen while the slave is held open; never spin on it
            return;
        }
        if (!sendDue()) {
            end(1);
            return;
        }
        finished();
    }

    // The device's own words at its start, if any, on the wire at once.
    bool greet() {
        m_slavePath = m_pty->slavePath();
        const std::vector<uint8_t> bytes = m_model.greeting();
        if (bytes.empty()) {
            return true;
        }
        log("dev> " + DeviceModel::describe(bytes) + " (at start)");
        return ::write(m_pty->master(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }

    // At exit: the image as it stands, unless this download's is written already.
    void finish() {
        if (!m_imageWritten) {
            writeImage();
        }
        m_imageWritten = true;
    }

  private:
    // The session ends as the process would with one device: the image
    // written, the link removed, the terminal closed.
    void end(int code) {
        m_code = code;
        finish();
        m_link.reset();
        m_pty.reset();
    }

    void writeImage() { m_files.writeImage(m_model); }

    // Returns false once the line has been unplugged.
    bool receive() {
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_pty->master(), buffer, sizeof buffer);
        if (n <= 0) {
            return true;
        }
        const auto now = Clock::now();
        const auto replies = m_model.receive({buffer, static_cast<size_t>(n)}, heardLine(*m_pty));
        // The cable is pulled as the record after the last one answered comes
        // in: hanging up any earlier would flush the answers still unread.
        const auto records = static_cast<int>(m_model.records().size());
        if (m_options.unplugAfter > 0 && records > m_options.unplugAfter) {
            log("-- unplugged");
            m_pty->hangUp();
            return false;
        }
        for (const Reply& reply : replies) {
            m_pending.emplace(now + std::chrono::milliseconds(reply.delayMs), reply.bytes);
        }
        return true;
    }

    bool sendDue() {
        while (!m_pending.empty() && m_pending.begin()->first <= Clock::now()) {
            const std::vector<uint8_t> bytes = std::move(m_pending.begin()->second);
            m_pending.erase(m_pending.begin());
            log("dev> " + DeviceModel::describe(bytes));
            if (::write(m_pty->master(), bytes.data(), bytes.size()) !=
                static_cast<ssize_t>(bytes.size())) {
                std::fprintf(stderr, "quill-devsim: write: %s\n", std::strerror(errno));
                return false;
            }
        }
        return true;
    }

    void finished() {
        if (!m_pending.empty()) {
            return;
        }
        if (m_drainingSince) {
            drain();
            return;
        }
        if (m_model.sawEndOfFile() && !m_imageWritten) {
            writeImage();
            m_imageWritten = true;
        } else if (!m_model.sawEndOfFile()) {
            m_imageWritten = false; // a new download has begun
        }
        if (m_exitAfterDownload && m_model.sawEndOfFile()) {
            m_drainingSince = Clock::now();
            drain();
        }
    }

    // Closing the terminal throws away what the host has not read yet, so
    // the last answers are given a moment to be read: they reach the host's
    // side of the terminal shortly after the write (the kernel moves them
    // over asynchronously), and are gone from it once the host has read them.
    // Looked at again every few milliseconds, never waited for in a sleep:
    // the other devices go on meanwhile.
    void drain() {
        const auto since = Clock::now() - *m_drainingSince;
        if (m_pty->unreadByHost() > 0) {
            m_answersArrived = true;
        } else if (m_answersArrived || since > std::chrono::milliseconds(200)) {
            end(0);
            return;
        }
        if (since > std::chrono::seconds(1)) {
            end(0);
        }
    }

    void log(const std::string& line) { m_files.log(line); }

    const DeviceOptions m_options;
    const bool m_exitAfterDownload;
    DeviceFiles m_files;
    std::unique_ptr<Pty> m_pty;
    std::optional<Link> m_link;
    std::string m_slavePath;
    DeviceModel m_model;
    std::multimap<Clock::time_point, std::vector<uint8_t>>
        m_pending; // equal times keep their order
    bool m_imageWritten = false;
    std::optional<Clock::time_point> m_drainingSince;
    bool m_answersArrived = false;
    std::optional<int> m_code;
};

// Runs every session until a signal, or until each has ended; the exit
// code is 0 when every session ended well.
int runAll(std::vector<std::unique_ptr<Session>>& sessions, const sigset_t& waitMask) {
    std::vector<pollfd> fds(sessions.size());
    while (!g_stop) {
        std::optional<Clock::time_point> next;
        bool anyRunning = false;
        for (size_t i = 0; i < sessions.size(); ++i) {
            fds[i] = {sessions[i]->fd(), POLLIN, 0}; // -1: ignored by poll
            anyRunning = anyRunning || !sessions[i]->ended();
            if (const auto due = sessions[i]->due(); due && (!next || *due < *next)) {
                next = due;
            }
        }
        if (!anyRunning) {
            break;
        }
        timespec wait{};
        timespec* timeout = nullptr;
        if (next) {
            const auto left = std::max(*next - Clock::now(), Clock::duration{});
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
            timeout = &wait;
        }
        // Signals are let through only while waiting here, so a stop
        // request is never lost between the check above and the wait.
        if (ppoll(fds.data(), fds.size(), timeout, &waitMask) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "quill-devsim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        for (size_t i = 0; i < sessions.size(); ++i) {
            sessions[i]->step(fds[i].revents);
        }
        for (const auto& session : sessions) {
            session->flushLog();
        }
    }
    int code = 0;
    for (const auto& session : sessions) {
        code = std::max(code, session->code());
    }
    return code;
}

} // namespace

int quill::devsim::playOnTerminals(const Options& options) {
    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    // Every terminal and link is made, and every device has said what it
    // says at its start, before the first path is printed.
    std::vector<std::unique_ptr<Session>> sessions;
    for (size_t k = 0; k < options.devices.size(); ++k) {
        const DeviceOptions& device = options.devices[k];
        std::string error;
        auto pty = Pty::open(error);
        if (!pty) {
            std::fprintf(stderr, "quill-devsim: %s\n", error.c_str());
            return 1;
        }
        std::optional<Link> link =
            device.link.empty() ? std::nullopt : Link::create(device.link, pty->slavePath(), error);
        if (!device.link.empty() && !link) {
            std::fprintf(stderr, "quill-devsim: %s\n", error.c_str());
            return 1;
        }
        const bool shared = options.devices.size() > 1 && device.logPath == "-";
        sessions.push_back(std::make_unique<Session>(
            device, options.exitAfterDownload, shared ? "[" + std::to_string(k + 1) + "] " : "",
            std::make_unique<Pty>(std::move(*pty)), std::move(link)));
        if (!sessions.back()->logOpen()) {
            std::fprintf(stderr, "quill-devsim: cannot write %s\n", device.logPath.c_str());
            return 1;
        }
        // Said before the host can open the terminal: it waits there, unread.
        if (!sessions.back()->greet()) {
            return 1;
        }
    }
    for (const auto& session : sessions) {
        std::printf("%s\n", session->slavePath().c_str());
    }
    std::fflush(stdout);

    const int code = runAll(sessions, waitMask);
    for (const auto& session : sessions) {
        session->finish();
    }
    return code;
}

namespace {

int g_stopPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe.
void onStopSignal(int) {
    const char byte = 's';
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &byte, 1);
}

} // namespace

void quill::devsim::quitOnStopSignals() {
    if (::pipe(g_stopPipe) != 0) {
        return; // the default stays: the signal ends the process
    }
    auto* notifier =
        new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGPIPE, SIG_IGN);
}
