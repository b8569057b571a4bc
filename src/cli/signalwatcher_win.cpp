// SPDX-License-Identifier: MIT
// The console's control events on Windows: Ctrl+C, Ctrl+Break and the
// closing of the console window end a download as SIGINT does. The handler
// runs on a thread of the system's; it notes the event and sets an event
// object that a QWinEventNotifier waits on in the user-interface thread.
// For the console's closing the handler waits a little, as Windows ends the
// process once it returns.
#include "cli/signalwatcher.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <atomic>

namespace quill::cli {

namespace {

std::atomic<int> g_caught{0};
std::atomic<int> g_last{0};
std::atomic<int> g_pending{0};
HANDLE g_event = nullptr;

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
    SetEvent(g_event);
    if (type == CTRL_CLOSE_EVENT) {
        Sleep(4000); // the download's end and its record, before Windows ends the process
    }
    return TRUE;
}

} // namespace

struct SignalWatcher::Native {
    HANDLE event = nullptr;
    std::unique_ptr<QWinEventNotifier> notifier;
};

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)), m_native(std::make_unique<Native>()) {
    Native& n = *m_native;
    n.event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (n.event == nullptr) {
        return; // the events keep their default effect
    }
    g_event = n.event;
    n.notifier = std::make_unique<QWinEventNotifier>(n.event);
    QObject::connect(n.notifier.get(), &QWinEventNotifier::activated, n.notifier.get(),
                     [this] { readSignals(); });
    SetConsoleCtrlHandler(&onControl, TRUE);
}

SignalWatcher::~SignalWatcher() {
    Native& n = *m_native;
    if (n.event == nullptr) {
        return;
    }
    SetConsoleCtrlHandler(&onControl, FALSE);
    n.notifier.reset();
    g_event = nullptr;
    CloseHandle(n.event);
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
