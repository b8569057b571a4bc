// SPDX-License-Identifier: MIT
#include "qt/handover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThreadPool>

#include <map>

namespace quill {

namespace {

// The one event type of the wake-up; what to do is in the inbox.
const QEvent::Type WakeUp = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

Inbox::~Inbox() {
    const std::lock_guard lock(m_mutex);
    m_calls.clear();
}

void Inbox::post(std::function<void()> call) {
    {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    QCoreApplication::postEvent(this, new QEvent(WakeUp));
}

bool Inbox::event(QEvent* event) {
    if (event->type() != WakeUp) {
        return QObject::event(event);
    }
    // One call per wake-up, so that a call that opens a nested loop leaves
    // the others to that loop, in their order.
    std::function<void()> call;
    {
        const std::lock_guard lock(m_mutex);
        if (m_calls.empty()) {
            return true;
        }
        call = std::move(m_calls.front());
        m_calls.pop_front();
    }
    call();
    return true;
}

namespace {

// Each pool's jobs, in their order; every start takes one.
struct Jobs {
    std::mutex mutex;
    std::map<QThreadPool*, std::deque<std::function<void()>>> waiting;
};

Jobs& jobs() {
    static Jobs* all = new Jobs; // outlives every pool, the application's own too
    return *all;
}

void runOne(QThreadPool* pool) {
    std::function<void()> job;
    {
        Jobs& all = jobs();
        const std::lock_guard lock(all.mutex);
        auto& queue = all.waiting[pool];
        job = std::move(queue.front());
        queue.pop_front();
        if (queue.empty()) {
            all.waiting.erase(pool);
        }
    }
    job();
}

} // namespace

void startOn(QThreadPool& pool, std::function<void()> job) {
    {
        Jobs& all = jobs();
        const std::lock_guard lock(all.mutex);
        all.waiting[&pool].push_back(std::move(job));
    }
    // Only the pool's address goes through Qt.
    pool.start([p = &pool] { runOne(p); });
}

} // namespace quill
