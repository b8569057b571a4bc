// SPDX-License-Identifier: MIT
#pragma once
// Simulated time with an event queue. The clock starts at a fixed epoch and
// moves only when events are run or time is advanced; nothing here reads
// the real clock. A modal call in the simulated world runs this loop until
// its box closes, as a nested event loop does in the real program.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace quill::sim {

using Ms = int64_t;

class SimLoop {
  public:
    static constexpr Ms epoch = 1'000'000;
    // A runaway loop (a modal box nobody closes) stops here.
    static constexpr Ms horizon = epoch + 24LL * 3600 * 1000;

    Ms now() const { return m_now; }
    Ms elapsed() const { return m_now - epoch; }

    uint64_t schedule(Ms delay, std::function<void()> fn) {
        m_queue.emplace(std::pair(m_now + std::max<Ms>(delay, 0), m_nextId), std::move(fn));
        return m_nextId++;
    }
    void cancel(uint64_t id) {
        std::erase_if(m_queue, [id](const auto& event) { return event.first.second == id; });
    }

    // Runs events in time order until `done` holds; false when the queue ran
    // dry or the horizon was reached first.
    bool runUntil(const std::function<bool()>& done) {
        while (!done() && runNext(horizon)) {
        }
        return done();
    }
    // Runs every event due within `duration`, then moves the clock to its end.
    void runFor(Ms duration) {
        const Ms end = m_now + duration;
        while (runNext(end)) {
        }
        m_now = std::max(m_now, end);
    }
    // Runs until no event is left (or the horizon).
    void runAll() {
        while (runNext(horizon)) {
        }
    }

  private:
    bool runNext(Ms limit) {
        if (m_queue.empty() || m_queue.begin()->first.first > limit) {
            return false;
        }
        auto event = m_queue.extract(m_queue.begin());
        m_now = event.key().first;
        event.mapped()();
        return true;
    }

    Ms m_now = epoch;
    uint64_t m_nextId = 1;
    // Ordered by (time, id): same-time events run in the order scheduled.
    std::map<std::pair<Ms, uint64_t>, std::function<void()>> m_queue;
};

} // namespace quill::sim
