// SPDX-License-Identifier: MIT
// quill-devsim: plays an Ostrel device on a pseudo-terminal in real time, for
// trying the downloader without hardware. The first line on stdout is the
// terminal to open.

#include "devsim/devicemodel.h"
#include "devsim/options.h"
#include "devsim/pty.h"
#include "quillversion.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <poll.h>
#include <unistd.h>

using namespace quill::devsim;
using Clock = std::chrono::steady_clock;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

class Session {
  public:
    Session(const Options& options, Pty& pty)
        : m_options(options), m_pty(pty), m_model(options.config), m_start(Clock::now()) {
        if (options.logPath == "-") {
            m_log = stderr;
        } else if (!options.logPath.empty()) {
            m_log = std::fopen(options.logPath.c_str(), "w");
            m_ownLog = m_log != nullptr;
        }
        // Replies are logged when they go on the wire, not when planned.
        m_model.setLogSink([this](DeviceModel::LogKind kind, const std::string& line) {
            if (kind != DeviceModel::LogKind::Device) {
                log(line);
            }
        });
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (m_ownLog) {
            std::fclose(m_log);
        }
    }

    bool logOpen() const { return m_options.logPath.empty() || m_log != nullptr; }

    // Runs until a signal, the end of the download or the unplug; returns the exit code.
    int run(const sigset_t& waitMask) {
        while (!g_stop) {
            pollfd pfd{m_pty.master(), POLLIN, 0};
            timespec wait{};
            timespec* timeout = nullptr;
            if (!m_pending.empty()) {
                const auto left =
                    std::max(m_pending.begin()->first - Clock::now(), Clock::duration{});
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                wait = {static_cast<time_t>(ns / 1'000'000'000),
                        static_cast<long>(ns % 1'000'000'000)};
                timeout = &wait;
            }
            // Signals are let through only while waiting here, so a stop
            // request is never lost between the check above and the wait.
            if (ppoll(&pfd, 1, timeout, &waitMask) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                std::fprintf(stderr, "quill-devsim: poll: %s\n", std::strerror(errno));
                return 1;
            }
            if ((pfd.revents & POLLIN) != 0) {
                if (!receive()) {
                    return 0;
                }
            } else if ((pfd.revents & (POLLHUP | POLLERR)) != 0) {
                return 1; // cannot happen while the slave is held open; never spin on it
            }
            if (!sendDue()) {
                return 1;
            }
            if (const auto code = finished()) {
                return *code;
            }
        }
        return 0;
    }

    // The device's own words at its start, if any, on the wire at once.
    bool greet() {
        const std::vector<uint8_t> bytes = m_model.greeting();
        if (bytes.empty()) {
            return true;
        }
        log("dev> " + DeviceModel::describe(bytes) + " (at start)");
        return ::write(m_pty.master(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }

    // At exit: the image as it stands, unless this download's is written already.
    void finish() {
        if (!m_imageWritten) {
            writeImage();
        }
    }

  private:
    void writeImage() {
        if (m_options.imagePath.empty()) {
            return;
        }
        const WriteResult result = m_model.image().write(m_options.imagePath);
        if (result.ok) {
            std::fprintf(stderr, "quill-devsim: image %s: base 0x%08X, %zu bytes\n",
                         m_options.imagePath.c_str(), result.base, result.length);
        } else {
            std::fprintf(stderr, "quill-devsim: image not written: %s\n", result.error.c_str());
        }
    }

    // Returns false once the line has been unplugged.
    bool receive() {
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
        if (n <= 0) {
            return true;
        }
        const auto now = Clock::now();
        const auto replies = m_model.receive({buffer, static_cast<size_t>(n)}, m_pty.parity());
        // The cable is pulled as the record after the last one answered comes
        // in: hanging up any earlier would flush the answers still unread.
        const auto records = static_cast<int>(m_model.records().size());
        if (m_options.unplugAfter > 0 && records > m_options.unplugAfter) {
            log("-- unplugged");
            m_pty.hangUp();
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
            if (::write(m_pty.master(), bytes.data(), bytes.size()) !=
                static_cast<ssize_t>(bytes.size())) {
                std::fprintf(stderr, "quill-devsim: write: %s\n", std::strerror(errno));
                return false;
            }
        }
        return true;
    }

    std::optional<int> finished() {
        if (!m_pending.empty()) {
            return std::nullopt;
        }
        if (m_model.sawEndOfFile() && !m_imageWritten) {
            writeImage();
            m_imageWritten = true;
        } else if (!m_model.sawEndOfFile()) {
            m_imageWritten = false; // a new download has begun
        }
        if (m_options.exitAfterDownload && m_model.sawEndOfFile()) {
            waitUntilRead();
            return 0;
        }
        return std::nullopt;
    }

    // Closing the terminal throws away what the host has not read yet, so
    // the last answers are given a moment to be read: they reach the host's
    // side of the terminal shortly after the write (the kernel moves them
    // over asynchronously), and are gone from it once the host has read them.
    void waitUntilRead() {
        const auto start = Clock::now();
        bool arrived = false;
        while (!g_stop && Clock::now() < start + std::chrono::seconds(1)) {
            if (m_pty.unreadByHost() > 0) {
                arrived = true;
            } else if (arrived || Clock::now() > start + std::chrono::milliseconds(200)) {
                return;
            }
            ::usleep(5'000);
        }
    }

    void log(const std::string& line) {
        if (m_log == nullptr) {
            return;
        }
        const std::chrono::duration<double, std::milli> since = Clock::now() - m_start;
        std::fprintf(m_log, "%.3f %s\n", since.count(), line.c_str());
        std::fflush(m_log);
    }

    const Options& m_options;
    Pty& m_pty;
    DeviceModel m_model;
    Clock::time_point m_start;
    std::multimap<Clock::time_point, std::vector<uint8_t>>
        m_pending; // equal times keep their order
    std::FILE* m_log = nullptr;
    bool m_ownLog = false;
    bool m_imageWritten = false;
};

} // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parseOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fputs(parsed.error.c_str(), stderr);
        return 2;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::fputs(parsed.help.c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", quill::QuillVersion);
        return 0;
    }

    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto pty = Pty::open(error);
    if (!pty) {
        std::fprintf(stderr, "quill-devsim: %s\n", error.c_str());
        return 1;
    }
    const std::optional<Link> link =
        options.link.empty() ? std::nullopt : Link::create(options.link, pty->slavePath(), error);
    if (!options.link.empty() && !link) {
        std::fprintf(stderr, "quill-devsim: %s\n", error.c_str());
        return 1;
    }
    Session session(options, *pty);
    if (!session.logOpen()) {
        std::fprintf(stderr, "quill-devsim: cannot write %s\n", options.logPath.c_str());
        return 1;
    }
    // Said before the host can open the terminal: it waits there, unread.
    if (!session.greet()) {
        return 1;
    }
    std::printf("%s\n", pty->slavePath().c_str());
    std::fflush(stdout);

    const int code = session.run(waitMask);
    session.finish();
    return code;
}
