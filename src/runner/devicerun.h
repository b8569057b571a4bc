// SPDX-License-Identifier: MIT
#pragma once
// One device of a run: the whole download of the window program (its own
// Module1, serial control, timer, wait dialog and file), run on the thread
// that builds it, with its own event loop. The device's modal waits nest
// only into its own loop, so one device's handshake never waits for
// another's. What happens is handed to `post` as events, from this thread;
// the run takes them in on its own.

#include "runner/headlesswait.h"
#include "runner/phaselabel.h"
#include "runner/runplan.h"
#include "runner/station.h"
#include "shared/report.h"
#include "trace/tracewriter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct DeviceEvent {
    // Reached: the device heard its first byte; the attempt is one of its unit's.
    enum class Kind { Message, Phase, Progress, Trace, Reached, Ended };
    Kind kind = Kind::Message;
    // Message: the system's words (lines joined by CR); Phase: the caption;
    // Trace: lines of the short trace
    std::string text;
    Progress progress; // as it stands with this event
    // The download has failed: this message and those after it are errors
    // (a quiet front end shows them).
    bool failed = false;
    std::optional<Outcome> outcome; // Ended: how the device's download ended
    bool openFailed = false;        // Ended: the port could not be opened at all
};

// What the run gives a unit once its device has answered.
struct UnitNumbers {
    std::optional<Outcome> refused; // none could be given: nothing more is sent
    std::vector<uint8_t> serialBytes;
};

namespace detail {

// Message boxes of one device. The Manual prompt was answered once for all
// devices before any started, so here it is answered OK; a question about
// the file gets the answer the file check got.
class DeviceBoxes final : public MessageBoxes {
  public:
    DeviceBoxes(Risks risks, std::function<void(const std::string&)> shown)
        : m_risks(risks), m_shown(std::move(shown)) {}
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

  private:
    Risks m_risks;
    std::function<void(const std::string&)> m_shown;
};

// The phase label of one device; its progress is the trace's.
class DeviceControls final : public PhaseLabel {
  public:
    explicit DeviceControls(std::function<void()> changed) : m_changed(std::move(changed)) {}

  private:
    void phaseChanged(const std::string&) override { m_changed(); }
    std::function<void()> m_changed;
};

} // namespace detail

class DeviceRun final : private RunView, private WireTrace {
  public:
    // `heldTo`: the SHA-256 the run checked the file with. `numbers` asks
    // the run for the unit's numbers (setup.serialOnAnswer) and waits for them.
    // `place` asks for the unit's place in its work order before the device
    // hears its first byte, and waits: an outcome ends the unit untouched.
    using Place = std::function<std::optional<Outcome>()>;
    DeviceRun(const DeviceSetup& setup, const std::string& heldTo,
              std::function<void(DeviceEvent)> post, std::function<UnitNumbers()> numbers = {},
              Place place = {});
    ~DeviceRun() override;
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;

    // Opens the port, runs the download to its end, and posts how it ended.
    void exec();
    // Stops at once: nothing more goes to the device. Only on this thread
    // (queue it on context()).
    void interrupt() { m_station.run().interrupt(); }
    // Lives on this device's thread.
    Inbox& context() { return m_station.context(); }

  private:
    Progress progress() const;
    void post(DeviceEvent::Kind kind, std::string text = {});

    void runMessage(const std::string& text, bool error) override;
    void downloadEnded(DownloadEnd end) override;
    void runEnding(Outcome outcome) override;
    void runFinished(Outcome) override {}
    std::optional<Outcome> deviceAnswered() override;
    std::optional<Outcome> beforeFirstByte() override;
    void onTraceEvent(const TraceEvent& event) override;

    const DeviceSetup m_setup;
    std::function<void(DeviceEvent)> m_post;
    std::function<UnitNumbers()> m_numbers;
    Place m_place;
    detail::DeviceBoxes m_boxes;
    HeadlessWaitDialog m_wait;
    detail::DeviceControls m_controls;
    Station m_station;
    std::unique_ptr<TraceWriter> m_writer;  // the trace file
    std::unique_ptr<TraceWriter> m_verbose; // the short trace
    bool m_failed = false;
    bool m_reached = false; // the device heard a byte
    int m_percentShown = -1;
    int64_t m_postedAtUs = 0;
};

} // namespace quill
