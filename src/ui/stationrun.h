// SPDX-License-Identifier: MIT
#pragma once
// One round of the station window: the run quill-cli uses on several ports
// (runner/runner.h), built and run on a thread of its own, so that the
// window's thread only draws. The run's nested waits (its loop until every
// device has ended, its questions) then nest into that thread, never into
// the window's, where they would stack with the main window's own modal
// waits (a Tracker's wait dialog there would not return before the round
// ended, nor the round's end before that dialog closed). The file's check
// and the devices' events are taken in on that thread too; the window
// gets each device's report as it changes.
//
// The run's questions (a file's risk, the Manual prompt) are asked by the
// window's boxes on the window's thread; the round waits for the answer in
// a loop of its own, where a stop still reaches it. Every device is a row
// of the history, written by a record keeper of the round's own: when the
// round says it has finished, its rows are in the history, or (a history
// that cannot take them within the keeper's patience) in the journal, as
// said in the window; the next round's keeper takes them over.

#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "run/runrequest.h"
#include "runner/runner.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QEventLoop;

namespace quill {

class StationRun final : public QThread, private RunnerView, private MessageBoxes {
  public:
    // What the window is told, on its own thread.
    struct Events {
        std::function<void(const std::string& text, RunnerView::Said how)> said;
        std::function<void(const RunReport& planned)> starting;
        std::function<void(size_t index, DeviceEvent::Kind kind, const DeviceReport& device)>
            device;
        std::function<void(const RunReport& run)> finished;
    };

    // `window` is where the events are posted and `boxes` asked; both live
    // on the window's thread, as this object does. `settings` is read here,
    // now: the round reads a copy of what it needs.
    StationRun(RunRequest request, const SettingsStore& settings, MessageBoxes& boxes,
               QObject* window, Events events);
    // Stops the round and waits for its thread.
    ~StationRun() override;

    // From the window's thread: every device stops, as Ctrl+C stops
    // quill-cli's; a question not yet asked is answered Cancel.
    void stop();
    // ... only device `index` of the round stops.
    void stop(size_t index);

  private:
    // The settings a run reads, copied on the window's thread: the store is
    // not to be read from two threads at once.
    class SettingsCopy final : public SettingsStore {
      public:
        explicit SettingsCopy(const SettingsStore& from);
        std::string GetSetting(const std::string& section, const std::string& key) const override;
        void SaveSetting(const std::string&, const std::string&, const std::string&) override {}

      private:
        std::map<std::pair<std::string, std::string>, std::string> m_values;
    };

    void run() override;
    void post(std::function<void()> call);

    // RunnerView, on the round's thread.
    void runSaid(const std::string& text, Said how) override;
    void devicesStarting(const RunReport& run) override;
    void deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) override;
    void stopAsking() override;
    // MessageBoxes, on the round's thread: asked on the window's.
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

    const RunRequest m_request;
    const SettingsCopy m_settings;
    MessageBoxes& m_boxes;
    Inbox* m_window; // the window's end of the round's events: a child of the window
    Events m_events;
    std::atomic<bool> m_stopAsked = false;
    // The round's thread's end of the window's answers and stops; it lives
    // as long as this object, so that the window may always post to it.
    std::shared_ptr<Inbox> m_context;
    // Only on the round's thread:
    Runner* m_runner = nullptr;
    QEventLoop* m_asking = nullptr; // waits for the answer to a question
    MsgResult m_answer = MsgResult::Cancel;
    unsigned m_question = 0;
};

} // namespace quill
