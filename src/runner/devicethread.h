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
    DeviceThread(DeviceSetup setup, std::string heldTo, std::function<void(DeviceEvent)> post,
                 Ask ask = {});
    ~DeviceThread() override;
    // From any thread: the device stops at its next turn, or never starts.
    void requestStop();

  protected:
    void run() override;

  private:
    // Asks, and waits for the answer; a stop ends the wait.
    UnitNumbers numbers();

    const DeviceSetup m_setup;
    const std::string m_heldTo;
    std::function<void(DeviceEvent)> m_post;
    Ask m_ask;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    DeviceRun* m_run = nullptr;
    bool m_stop = false;
};

} // namespace quill
