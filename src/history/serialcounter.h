// SPDX-License-Identifier: MIT
#pragma once
// The counters of units' serial numbers, drawn from the history on a
// thread of its own: a draw waits for the history a few seconds at most,
// and a history that holds the thread stuck (a frozen server) is left
// behind. A number drawn is spent, whatever becomes of the unit, and the
// unit's row that holds it is begun with it.
//
//     SerialCounter counter(where);
//     if (HistoryStatus no = counter.ready(5s)) ...      // no history, no number
//     auto n = counter.draw("default", 1, 5s);

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace quill {

class SerialCounter {
  public:
    explicit SerialCounter(HistoryLocation where);
    // Waits a few seconds for the thread; leaves it behind if it is stuck.
    ~SerialCounter();
    SerialCounter(const SerialCounter&) = delete;
    SerialCounter& operator=(const SerialCounter&) = delete;

    // The history is open and can be drawn from; why not, within `patience`.
    HistoryStatus ready(std::chrono::milliseconds patience);
    // The next number of `series` (`start` for a new one), taken; with
    // `attempt` (its key set), its row begun with the number in one step;
    // `unit` then gets the row's number in its batch, drawn with it.
    // A new series goes on after `carriedFrom`, if that is there. A history
    // that failed is opened anew for the next draw.
    HistoryResult<uint64_t> draw(const std::string& series, uint64_t start,
                                 std::chrono::milliseconds patience,
                                 const Attempt* attempt = nullptr,
                                 const std::string& carriedFrom = {},
                                 std::optional<int64_t>* unit = nullptr);
    // The number the next draw of `series` would give; draws nothing.
    HistoryResult<uint64_t> peek(const std::string& series, uint64_t start,
                                 std::chrono::milliseconds patience,
                                 const std::string& carriedFrom = {});
    // False when the thread was left behind, stuck in the history.
    bool finish(std::chrono::milliseconds patience);

    struct State;

  private:
    std::shared_ptr<State> m_state;
    std::thread m_thread;
    bool m_finished = false;
};

} // namespace quill
