// SPDX-License-Identifier: MIT
#pragma once
// The thread of one device of a run on several ports: it builds the
// device's DeviceRun on itself, so that the serial port, the timers and the
// nested waits belong to this thread's event loop alone, runs it, and tells
// how it ended. A stop may be asked from any thread at any moment.

#include "cli/devicerun.h"

#include <QThread>

#include <functional>
#include <mutex>

namespace quill::cli {

class DeviceThread final : public QThread {
  public:
    using Ended = std::function<void(ExitCode code, const DeviceEvent& last, bool openFailed)>;
    DeviceThread(DeviceSetup setup, std::function<void(DeviceEvent)> post, Ended ended);
    ~DeviceThread() override;
    // From any thread: the device stops at its next turn, or never starts.
    void requestStop();

  protected:
    void run() override;

  private:
    const DeviceSetup m_setup;
    std::function<void(DeviceEvent)> m_post;
    Ended m_ended;
    std::mutex m_mutex;
    DeviceRun* m_run = nullptr;
    bool m_stop = false;
};

} // namespace quill::cli
