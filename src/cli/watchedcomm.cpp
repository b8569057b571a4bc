// SPDX-License-Identifier: MIT
#include "cli/watchedcomm.h"

namespace quill::cli {

WatchedComm::WatchedComm(MSComm& inner, CommWatcher& watcher) : m_inner(inner), m_watcher(watcher) {
    m_inner.setEventSink(this);
}

WatchedComm::~WatchedComm() {
    m_inner.setEventSink(nullptr);
}

PortStatus WatchedComm::output(std::span<const uint8_t> data) {
    PortStatus status = m_inner.output(data);
    if (!status) {
        m_watcher.hostSent();
    }
    return status;
}

std::vector<uint8_t> WatchedComm::input() {
    std::vector<uint8_t> bytes = m_inner.input();
    if (!bytes.empty()) {
        m_watcher.deviceSpoke();
    }
    return bytes;
}

void WatchedComm::MSComm1_OnComm() {
    if (m_sink != nullptr) {
        m_sink->MSComm1_OnComm();
    }
}

// Noted before the download hears of it: its message box then finds the run decided.
void WatchedComm::onPortLost(const PortError& error) {
    m_watcher.portLost(error);
    if (m_sink != nullptr) {
        m_sink->onPortLost(error);
    }
}

} // namespace quill::cli
