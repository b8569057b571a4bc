// SPDX-License-Identifier: MIT
#pragma once
// One device of a run on several ports: the whole download of the window
// program (its own Module1, serial control, timer, wait dialog and file),
// run on the thread that builds it, with its own event loop. The device's
// modal waits nest only into its own loop, so one device's handshake never
// waits for another's. What the user should see is handed to `post` as
// events, from this thread; the owner shows them on its own.

#include "cli/clioptions.h"
#include "cli/cliwaitdialog.h"
#include "cli/phaselabel.h"
#include "cli/station.h"
#include "trace/tracewriter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quill::cli {

// What the run decided for every device, settled before any device starts.
struct DeviceSetup {
    std::string port;        // as given: names the device in every line shown
    std::string device;      // the device path it stands for
    int16_t comPort = 1;     // COMn, or 1 for a port given as a path
    bool namedByPath = true; // messages name the port by its path alone
    int32_t baud = 0;
    int16_t deviceType = device_manual;
    std::string file;
    int idleTimeoutSeconds = 0;
    Risks risks;
    int settleMs = 0;
    std::shared_ptr<TraceFile> traceFile; // --log DIR: made before any port is touched
    bool verbose = false;                 // -v: the short trace, as lines of kind Trace
};

struct DeviceEvent {
    enum class Kind { Message, Phase, Progress, Trace };
    Kind kind = Kind::Message;
    // Message: the system's words (lines joined by CR); Phase: the caption;
    // Trace: lines of the short trace (-v)
    std::string text;
    int64_t records = 0;   // records sent so far
    int64_t dataBytes = 0; // firmware data bytes in them
    int percent = 0;
    double seconds = 0;
    std::optional<double> rate;
    std::string outcome; // how the device's download ended, by name; empty while it runs
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
    DeviceRun(const DeviceSetup& setup, std::function<void(DeviceEvent)> sink);
    ~DeviceRun() override;
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;

    // Opens the port, runs the download to its end and says how it ended.
    ExitCode exec() { return m_station.exec(); }
    // Stops at once: nothing more goes to the device. Only on this thread
    // (queue it on context()).
    void interrupt() { m_station.run().interrupt(); }
    // Lives on this device's thread.
    QObject& context() { return m_station.context(); }

    // The last progress, as an event of kind Progress.
    DeviceEvent progress() const;
    // Writes what the trace still holds; a failure is told as a message.
    void flushTrace();
    // The port could not be opened at all.
    bool openFailed() const { return m_station.opening() == PortOpening::OpenFailed; }

  private:
    void post(DeviceEvent::Kind kind, std::string text = {});

    void runMessage(const std::string& text, bool error) override;
    void runFinished(ExitCode) override {}
    void onTraceEvent(const TraceEvent& event) override;

    const DeviceSetup m_setup;
    std::function<void(DeviceEvent)> m_post;
    detail::DeviceBoxes m_boxes;
    CliWaitDialog m_wait;
    detail::DeviceControls m_controls;
    Station m_station;
    std::unique_ptr<TraceWriter> m_writer;  // --log DIR
    std::unique_ptr<TraceWriter> m_verbose; // -v
    int m_percentShown = -1;
};

} // namespace quill::cli
