// SPDX-License-Identifier: MIT
#include "history/serialcounter.h"

#include "history/historystore.h"
#include "history/historytexts.h"
#include "history/threadend.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace quill {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

} // namespace

struct SerialCounter::State {
    struct Request {
        std::string series;
        uint64_t start = 0;
        std::optional<Attempt> attempt;
        std::string carriedFrom;
        bool peek = false; // only the number the next draw would give
    };

    HistoryLocation where;
    std::mutex mutex;
    std::condition_variable wake;
    HistoryStatus opened = HistoryError{}; // until the history is open: none then
    bool openDone = false;
    // One draw at a time: its request, and its answer once given.
    std::optional<Request> request;
    std::optional<HistoryResult<uint64_t>> answer;
    std::optional<int64_t> unit; // the answer's row's number in its batch
    uint64_t asked = 0;
    uint64_t answered = 0;
    bool stop = false;
    bool exited = false;

    // The store is made, used and closed on this thread alone.
    std::unique_ptr<HistoryStore> store;

    HistoryStatus open() {
        auto made = HistoryStore::open(where);
        if (!made) {
            return made.error();
        }
        store = std::move(*made);
        return {};
    }

    // A connection the server ended (a restart) is found dead only when it
    // is used: the draw is tried once more on a new one, as the writer does.
    HistoryResult<uint64_t> draw(const Request& r, std::optional<int64_t>& drawnUnit) {
        const Attempt* attempt = r.attempt ? &*r.attempt : nullptr;
        const auto once = [&] {
            return r.peek
                       ? store->nextSerial(r.series, r.start, r.carriedFrom)
                       : store->drawSerial(r.series, r.start, attempt, r.carriedFrom, &drawnUnit);
        };
        const bool fresh = !store;
        if (HistoryStatus failed = store ? HistoryStatus{} : open()) {
            return *failed;
        }
        HistoryResult<uint64_t> drawn = once();
        if (drawn || fresh) {
            return drawn;
        }
        store.reset();
        if (HistoryStatus failed = open()) {
            return *failed;
        }
        return once();
    }

    void run() {
        HistoryStatus failed = open();
        std::unique_lock lock(mutex);
        opened = failed;
        openDone = true;
        wake.notify_all();
        while (true) {
            wake.wait(lock, [&] { return stop || asked > answered; });
            if (stop) {
                break;
            }
            const Request r = *request;
            const uint64_t number = asked;
            lock.unlock();
            std::optional<int64_t> drawnUnit;
            HistoryResult<uint64_t> drawn = draw(r, drawnUnit);
            lock.lock();
            answer = std::move(drawn);
            unit = drawnUnit;
            answered = number;
            wake.notify_all();
        }
        lock.unlock();
        store.reset(); // closed before anyone hears the thread is done
        lock.lock();
        exited = true;
        wake.notify_all();
    }
};

SerialCounter::SerialCounter(HistoryLocation where) : m_state(std::make_shared<State>()) {
    m_state->where = std::move(where);
    HistoryStore::findDrivers();
    m_thread = std::thread([state = m_state] { state->run(); });
}

SerialCounter::~SerialCounter() {
    finish(5s);
}

HistoryStatus SerialCounter::ready(std::chrono::milliseconds patience) {
    std::unique_lock lock(m_state->mutex);
    if (!m_state->wake.wait_for(lock, patience, [&] { return m_state->openDone; })) {
        return HistoryError{text::HistoryNotOpened, m_state->where.shown(), text::HistoryNoAnswer};
    }
    return m_state->opened;
}

namespace {

// One question to the counter's thread, and its answer within `patience`.
HistoryResult<uint64_t> ask(SerialCounter::State& state, SerialCounter::State::Request request,
                            std::chrono::milliseconds patience, std::optional<int64_t>* unit) {
    std::unique_lock lock(state.mutex);
    const auto until = Clock::now() + patience;
    // A draw that never came back holds the thread: no other is asked.
    if (state.answered < state.asked) {
        return HistoryError{text::HistoryNotWritten, state.where.shown(), text::HistoryNoAnswer};
    }
    state.request = std::move(request);
    const uint64_t number = ++state.asked;
    state.wake.notify_all();
    if (!state.wake.wait_until(lock, until, [&] { return state.answered >= number; })) {
        return HistoryError{text::HistoryNotWritten, state.where.shown(), text::HistoryNoAnswer};
    }
    if (unit != nullptr) {
        *unit = state.unit;
    }
    return *state.answer;
}

} // namespace

HistoryResult<uint64_t> SerialCounter::draw(const std::string& series, uint64_t start,
                                            std::chrono::milliseconds patience,
                                            const Attempt* attempt, const std::string& carriedFrom,
                                            std::optional<int64_t>* unit) {
    return ask(*m_state,
               State::Request{series, start,
                              attempt ? std::optional<Attempt>(*attempt) : std::nullopt,
                              carriedFrom},
               patience, unit);
}

HistoryResult<uint64_t> SerialCounter::peek(const std::string& series, uint64_t start,
                                            std::chrono::milliseconds patience,
                                            const std::string& carriedFrom) {
    return ask(*m_state, State::Request{series, start, {}, carriedFrom, true}, patience, nullptr);
}

bool SerialCounter::finish(std::chrono::milliseconds patience) {
    if (m_finished) {
        return true;
    }
    m_finished = true;
    std::unique_lock lock(m_state->mutex);
    m_state->stop = true;
    m_state->wake.notify_all();
    return joinOrLeave(m_thread, std::move(lock), m_state->wake, Clock::now() + patience,
                       [&] { return m_state->exited; });
}

} // namespace quill
