// SPDX-License-Identifier: MIT
#pragma once
// One device of a run on several ports: the whole download of the window
// program (its own Module1, serial control, timer, wait dialog and file),
// run on the thread that builds it, with its own event loop. The device's
// modal waits nest only into its own loop, so one device's handshake never
// waits for another's. What the user should see is handed to `post` as
// events, from this thread; the owner shows them on its own.

#include "cli/cliwaitdialog.h"
#include "cli/watchedcomm.h"
#include "download/downloader.h"
#include "hexfile/stdhexfile.h"
#include "platform/qt/qtmscomm.h"
#include "platform/qt/qttimer.h"
#include "run/outcome.h"
#include "shared/module1.h"
#include "trace/tracesession.h"
#include "trace/tracewriter.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

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
    bool allowNoEndRecord = false;
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
// devices before any started, so here it is answered OK; the question about
// a file without an end record gets the answer the file check got.
class DeviceBoxes final : public MessageBoxes {
  public:
    DeviceBoxes(bool acceptRisk, std::function<void(const std::string&)> shown)
        : m_acceptRisk(acceptRisk), m_shown(std::move(shown)) {}
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;

  private:
    bool m_acceptRisk;
    std::function<void(const std::string&)> m_shown;
};

// The phase label of one device; its progress is the trace's.
class DeviceControls final : public MainFormControls {
  public:
    explicit DeviceControls(std::function<void()> changed) : m_changed(std::move(changed)) {}
    const std::string& caption() const { return m_caption; }

    void setLblMsgVisible(bool) override {}
    void setLblMsgCaption(const std::string& caption) override;
    void setPrbVisible(bool) override {}
    void setPrbMin(float) override {}
    void setPrbMax(float value) override { m_max = value; }
    float prbMax() const override { return m_max; }
    void setPrbValue(float) override {}
    void setCmdStartEnabled(bool) override {}
    void cmdStartSetFocus() override {}
    void setPanelText(int, const std::string&) override {}
    void setPanelMinWidth(int, int) override {}

  private:
    std::function<void()> m_changed;
    std::string m_caption;
    float m_max = 0;
};

} // namespace detail

class DeviceRun final : private CommWatcher, private DownloadObserver, private WireTrace {
  public:
    DeviceRun(const DeviceSetup& setup, std::function<void(DeviceEvent)> sink);
    ~DeviceRun() override = default;
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;

    // Opens the port, runs the download to its end and says how it ended.
    ExitCode exec();
    // Stops at once: nothing more goes to the device. Only on this thread
    // (queue it on context()).
    void interrupt();
    // Lives on this device's thread.
    QObject& context() { return m_context; }

    // The last progress, as an event of kind Progress.
    DeviceEvent progress() const;
    // Writes what the trace still holds; a failure is told as a message.
    void flushTrace();
    // The port could not be opened at all.
    bool openFailed() const { return m_openFailed; }

  private:
    void post(DeviceEvent::Kind kind, std::string text = {});
    bool openPort();
    void stopTalking();
    void finishSoon();
    void finish();
    void exitLoop();
    void restartIdle();
    void idleExpired();

    void deviceSpoke() override;
    void hostSent() override;
    void portLost(const PortError& error) override;
    void downloadEnded(DownloadEnd end) override;
    void onTraceEvent(const TraceEvent& event) override;

    const DeviceSetup m_setup;
    std::function<void(DeviceEvent)> m_post;
    QObject m_context;
    Module1 m_m;
    Outcome m_outcome;
    QtMSComm m_port;
    WatchedComm m_comm;
    QtTimer m_timer;
    detail::DeviceBoxes m_boxes;
    CliWaitDialog m_wait;
    TraceSession m_trace;
    std::unique_ptr<TraceWriter> m_writer;  // --log DIR
    std::unique_ptr<TraceWriter> m_verbose; // -v
    StdHexFile m_file;
    detail::DeviceControls m_controls;
    Downloader m_downloader;
    QTimer m_idle;
    QTimer m_lastAnswer;
    QEventLoop m_loop;
    int m_percentShown = -1;
    bool m_finishing = false;
    bool m_heardSinceSent = false;
    bool m_openFailed = false;
    ExitCode m_exitCode = ExitCode::Failure;
};

} // namespace quill::cli
