// SPDX-License-Identifier: MIT
#include "cli/signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quill::cli {

namespace {

volatile std::sig_atomic_t g_writeEnd = -1;
volatile std::sig_atomic_t g_caught = 0; // written by the handler alone
volatile std::sig_atomic_t g_last = 0;

// Async-signal-safe: one write, errno kept for the code it interrupted.
void writeSignal(int signal) {
    const int saved = errno;
    g_caught = g_caught + 1;
    g_last = signal;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

struct SignalWatcher::Native {
    int pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
};

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)), m_native(std::make_unique<Native>()) {
    Native& n = *m_native;
    if (::pipe2(n.pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default effect
    }
    g_writeEnd = n.pipe[1];
    n.notifier = std::make_unique<QSocketNotifier>(n.pipe[0], QSocketNotifier::Read);
    QObject::connect(n.notifier.get(), &QSocketNotifier::activated, n.notifier.get(),
                     [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = &writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &n.oldInt);
    ::sigaction(SIGTERM, &action, &n.oldTerm);
}

SignalWatcher::~SignalWatcher() {
    Native& n = *m_native;
    if (n.pipe[0] < 0) {
        return;
    }
    ::sigaction(SIGINT, &n.oldInt, nullptr);
    ::sigaction(SIGTERM, &n.oldTerm, nullptr);
    g_writeEnd = -1;
    n.notifier.reset();
    ::close(n.pipe[0]);
    ::close(n.pipe[1]);
}

int SignalWatcher::caught() {
    return g_caught;
}

int SignalWatcher::lastSignal() {
    return g_last;
}

void SignalWatcher::readSignals() {
    unsigned char pending[16];
    ssize_t n = 0;
    while ((n = ::read(m_native->pipe[0], pending, sizeof pending)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            m_onSignal(pending[i]);
        }
    }
}

} // namespace quill::cli
