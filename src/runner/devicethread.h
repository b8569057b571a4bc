// SPDX-License-Identifier: MIT
#pragma once
// The thread of one device of a run: it builds the device's DeviceRun on
// itself, so that the serial port, the timers and the nested waits belong
// to this thread's event loop alone, runs it, and posts how it ended. A
// stop may be asked from any thread at any moment.

#include "runner/devicerun.h"

#include <QThread>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace quill {

class DeviceThread final : public QThread {
  public:
    // `post` is called on this thread with each event, the last of kind Ended.
    // `ask` asks the run for the unit's numbers, on this thread; the run
    // gives them to the function it is handed, on any thread.
    using Answer = std::function<void(UnitNumbers)>;
    using Ask = std::function<void(Answer)>;
    // `askPlace` asks the run for the unit's place in its work order, on
    // this thread, just before the device hears its first byte; the run
    // answers none (the place is taken) or how the unit ends, on any thread.
    using PlaceAnswer = std::function<void(std::optional<Outcome>)>;
    using PlaceAsk = std::function<void(PlaceAnswer)>;
    DeviceThread(DeviceSetup setup, std::string heldTo, std::function<void(DeviceEvent)> post,
                 Ask ask = {}, PlaceAsk askPlace = {});
    ~DeviceThread() override;
    // From any thread: the device stops at its next turn, or never starts.
    void requestStop();

  protected:
    void run() override;

  private:
    // Asks, and waits for the answer; a stop ends the wait.
    UnitNumbers numbers();
    std::optional<Outcome> place();
    // Waits for what `ask` hands its answer function; a stop ends the wait.
    // None: no answer came (`stopped` says whether a stop ended the wait).
    template <class T>
    std::optional<T> awaitAnswer(const std::function<void(std::function<void(T)>)>& ask,
                                 bool& stopped);

    const DeviceSetup m_setup;
    const std::string m_heldTo;
    std::function<void(DeviceEvent)> m_post;
    Ask m_ask;
    PlaceAsk m_askPlace;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    DeviceRun* m_run = nullptr;
    bool m_stop = false;
};

} // namespace quill
