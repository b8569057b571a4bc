// SPDX-License-Identifier: MIT
#pragma once
// The end of a thread that talks to the history, which may hang in a call
// to a server that never answers: it is waited for until `until`, then
// joined if it has exited, or else left behind (detached) with the state it
// shares, so that the program can still end on time. `lock` holds the
// mutex of that state, and `wake` is told when the thread exits.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quill {

template <class TimePoint, class Exited>
bool joinOrLeave(std::thread& thread, std::unique_lock<std::mutex> lock,
                 std::condition_variable& wake, TimePoint until, Exited exited) {
    const bool ended = wake.wait_until(lock, until, exited);
    lock.unlock();
    if (ended) {
        thread.join();
    } else {
        thread.detach();
    }
    return ended;
}

} // namespace quill
