// SPDX-License-Identifier: MIT
#include "cli/signalwatcher.h"

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

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal)) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default effect
    }
    g_writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = &writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_oldInt);
    ::sigaction(SIGTERM, &action, &m_oldTerm);
}

SignalWatcher::~SignalWatcher() {
    if (m_pipe[0] < 0) {
        return;
    }
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    g_writeEnd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
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
    while ((n = ::read(m_pipe[0], pending, sizeof pending)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            m_onSignal(pending[i]);
        }
    }
}

} // namespace quill::cli
