// SPDX-License-Identifier: MIT
#pragma once
// SIGINT and SIGTERM as events of the event loop. The signal handler only
// writes the signal's number into a pipe; a socket notifier reads it on the
// user-interface thread, where the download's state may be touched. The
// notifier fires in nested event loops too (a prompt, the wait dialog).

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace quill::cli {

class SignalWatcher {
  public:
    // One watcher at a time; `onSignal` runs on the event loop's thread.
    explicit SignalWatcher(std::function<void(int signal)> onSignal);
    ~SignalWatcher(); // the earlier handlers come back

    // How many signals a watcher has caught so far, already in the handler:
    // a wait that cannot run the event loop asks this between its looks.
    static int caught();
    // The number of the last signal caught; 0: none yet.
    static int lastSignal();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

} // namespace quill::cli
