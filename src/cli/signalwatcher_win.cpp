// SPDX-License-Identifier: MIT
// The console's control events on Windows: Ctrl+C, Ctrl+Break and the
// closing of the console window end a download as SIGINT does. The handler
// runs on a thread of the system's; it notes the event, and a timer of the
// user-interface thread's loop looks for it every 20 ms (Qt 6.4's
// QWinEventNotifier brought the process down under Wine when it went).
// For the console's closing the handler waits a little, as Windows ends the
// process once it returns.
#include "cli/signalwatcher.h"

#include <QTimer>

#include <windows.h>

#include <atomic>

namespace quill::cli {

namespace {

std::atomic<int> g_caught{0};
std::atomic<int> g_last{0};
std::atomic<int> g_pending{0};

BOOL WINAPI onControl(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        break;
    default:
        return FALSE;
    }
    g_caught.fetch_add(1);
    g_last.store(SIGINT);
    g_pending.fetch_add(1);
    if (type == CTRL_CLOSE_EVENT) {
        Sleep(4000); // the download's end and its record, before Windows ends the process
    }
    return TRUE;
}

} // namespace

struct SignalWatcher::Native {
    QTimer look;
};

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)), m_native(std::make_unique<Native>()) {
    Native& n = *m_native;
    n.look.setInterval(20);
    QObject::connect(&n.look, &QTimer::timeout, &n.look, [this] {
        if (g_pending.load() > 0) {
            readSignals();
        }
    });
    n.look.start();
    SetConsoleCtrlHandler(&onControl, TRUE);
}

SignalWatcher::~SignalWatcher() {
    SetConsoleCtrlHandler(&onControl, FALSE);
    m_native->look.stop();
}

int SignalWatcher::caught() {
    return g_caught.load();
}

int SignalWatcher::lastSignal() {
    return g_last.load();
}

void SignalWatcher::readSignals() {
    for (int n = g_pending.exchange(0); n > 0; --n) {
        m_onSignal(SIGINT);
    }
}

} // namespace quill::cli
