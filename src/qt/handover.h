// SPDX-License-Identifier: MIT
#pragma once
// Work handed from one thread to another. Qt's own hand-over (a queued
// call, a thread pool's queue) locks inside Qt, where a thread checker
// built into our programs cannot see it, so every value handed over would
// look like a race and a real race would hide among them. Here the work
// itself passes under a lock of ours; Qt only carries the wake-up.
//
//     Inbox inbox;                          // on the thread that runs the calls
//     inbox.post([=] { show(result); });    // from any thread
//     startOn(pool, [=] { work(); });       // on one of the pool's threads

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class QThreadPool;

namespace quill {

class Inbox : public QObject {
  public:
    explicit Inbox(QObject* parent = nullptr) : QObject(parent) {}
    // Destroyed on its own thread; calls not run by then are dropped.
    ~Inbox() override;
    Inbox(const Inbox&) = delete;
    Inbox& operator=(const Inbox&) = delete;

    // From any thread: `call` runs on this object's thread, from its event
    // loop (nested loops too), after every call posted before it.
    void post(std::function<void()> call);

  protected:
    bool event(QEvent* event) override;

  private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};

// `job` on one of `pool`'s threads. The pool waits for it as for its own
// work when it is destroyed.
void startOn(QThreadPool& pool, std::function<void()> job);

} // namespace quill
