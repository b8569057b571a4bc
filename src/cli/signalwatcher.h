// SPDX-License-Identifier: MIT
#pragma once
// SIGINT and SIGTERM as events of the event loop, and on Windows Ctrl+C,
// Ctrl+Break and the console's closing as SIGINT. The handler only notes the
// signal (signalwatcher_unix.cpp: writes its number into a pipe;
// signalwatcher_win.cpp: sets an event); a notifier reads it on the
// user-interface thread, where the download's state may be touched. The
// notifier fires in nested event loops too (a prompt, the wait dialog).

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
    struct Native; // what the system's file keeps
    void readSignals();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<Native> m_native;
};

} // namespace quill::cli
