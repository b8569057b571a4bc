// SPDX-License-Identifier: MIT
#include "simloop.h"

namespace quill::sim {

uint64_t SimLoop::schedule(Ms delay, std::function<void()> fn) {
    const uint64_t id = m_nextId++;
    const Ms at = m_now + (delay < 0 ? 0 : delay);
    m_queue.emplace(std::make_pair(at, id), std::move(fn));
    m_times.emplace(id, at);
    return id;
}

void SimLoop::cancel(uint64_t id) {
    auto it = m_times.find(id);
    if (it == m_times.end()) {
        return;
    }
    m_queue.erase(std::make_pair(it->second, id));
    m_times.erase(it);
}

bool SimLoop::runNext(Ms limit) {
    if (m_queue.empty() || m_queue.begin()->first.first > limit) {
        return false;
    }
    auto node = m_queue.extract(m_queue.begin());
    m_times.erase(node.key().second);
    m_now = node.key().first;
    node.mapped()();
    return true;
}

bool SimLoop::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!runNext(horizon)) {
            return false;
        }
    }
    return true;
}

void SimLoop::runFor(Ms duration) {
    const Ms end = m_now + duration;
    while (runNext(end)) {
    }
    if (m_now < end) {
        m_now = end;
    }
}

void SimLoop::runAll() {
    while (runNext(horizon)) {
    }
}

} // namespace quill::sim
