// SPDX-License-Identifier: MIT
#include "cli/devicerun.h"

#include "cli/clitexts.h"
#include "cli/multitable.h"
#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "port/porttexts.h"

#include <QMetaObject>

#include <algorithm>

namespace quill::cli {

namespace {

// How long a completed download waits for the device to answer its last record.
constexpr int lastAnswerMs = 2000;

} // namespace

namespace detail {

MsgResult DeviceBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon,
                              MsgResult defaultButton) {
    if (buttons == MsgButtons::Ok) {
        m_shown(text);
        return MsgResult::Ok;
    }
    if (defaultButton == MsgResult::Cancel) {
        return m_acceptRisk ? MsgResult::Ok : MsgResult::Cancel;
    }
    return MsgResult::Ok;
}

void DeviceControls::setLblMsgCaption(const std::string& caption) {
    if (caption != m_caption) {
        m_caption = caption;
        m_changed();
    }
}

} // namespace detail

DeviceRun::DeviceRun(const DeviceSetup& setup, std::function<void(DeviceEvent)> sink)
    : m_setup(setup), m_post(std::move(sink)),
      m_port([device = setup.device](int16_t) { return device; }), m_comm(m_port, *this),
      m_boxes(setup.allowNoEndRecord,
              [this](const std::string& text) { this->post(DeviceEvent::Kind::Message, text); }),
      m_wait([this](const std::string& text) {
          m_outcome.noteTrackerReport();
          this->post(DeviceEvent::Kind::Message, text);
      }),
      m_trace(m_m, m_comm, m_timer, m_boxes, m_wait, steadyClockUs),
      m_controls([this] { this->post(DeviceEvent::Kind::Phase, m_controls.caption()); }),
      m_downloader(
          m_trace.wrap(Context{m_m, m_comm, m_timer, m_boxes, m_wait, m_file, m_controls, this})) {
    m_trace.addObserver(this);
    if (setup.traceFile) {
        m_writer = std::make_unique<TraceWriter>(
            setup.traceFile->output(), TraceWriter::Form::Full, [this] {
                post(DeviceEvent::Kind::Message, quill::text::TraceNotWritten +
                                                     m_setup.traceFile->path() +
                                                     quill::text::TraceGoesOn);
            });
        m_trace.addObserver(m_writer.get());
    }
    if (setup.verbose) {
        m_verbose = std::make_unique<TraceWriter>(
            [this](std::string_view lines) {
                post(DeviceEvent::Kind::Trace, std::string(lines));
                return true;
            },
            TraceWriter::Form::Short, TraceWriter::FailureReport{}, TraceWriter::Flush::EachLine);
        m_trace.addObserver(m_verbose.get());
    }
    m_port.setNamedByDevice(setup.namedByPath);
    m_m.com_port = setup.comPort;
    m_m.baud_rate = setup.baud;
    m_m.device_type = setup.deviceType;
    m_idle.setSingleShot(true);
    m_idle.setInterval(setup.idleTimeoutSeconds * 1000);
    QObject::connect(&m_idle, &QTimer::timeout, &m_context, [this] { idleExpired(); });
    m_lastAnswer.setSingleShot(true);
    m_lastAnswer.setInterval(lastAnswerMs);
    QObject::connect(&m_lastAnswer, &QTimer::timeout, &m_context, [this] { exitLoop(); });
}

ExitCode DeviceRun::exec() {
    if (!openPort()) {
        m_openFailed = true;
        return ExitCode::PortError;
    }
    m_m.hex_file_name = m_setup.file;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_trace.noteStart();
            m_downloader.cmdStart_Click();
        },
        Qt::QueuedConnection);
    return static_cast<ExitCode>(m_loop.exec());
}

void DeviceRun::flushTrace() {
    if (m_writer) {
        m_writer->flush();
    }
}

DeviceEvent DeviceRun::progress() const {
    const DownloadProgress& p = m_trace.progress();
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Progress;
    e.text = m_controls.caption();
    e.records = p.recordsSent();
    e.dataBytes = p.dataBytesSent();
    e.percent = p.percent();
    e.seconds = p.elapsedSeconds();
    e.rate = p.rate();
    e.outcome = m_outcome.decided() ? std::string(m_outcome.name()) : std::string();
    return e;
}

// The progress has seen the event first: a new percentage is worth a line.
void DeviceRun::onTraceEvent(const TraceEvent& event) {
    if (event.kind != TraceKind::Written) {
        return;
    }
    if (const int percent = m_trace.progress().percent(); percent != m_percentShown) {
        m_percentShown = percent;
        post(DeviceEvent::Kind::Progress);
    }
}

void DeviceRun::post(DeviceEvent::Kind kind, std::string text) {
    DeviceEvent event = progress();
    event.kind = kind;
    event.text = std::move(text);
    m_post(std::move(event));
}

// As the COM Setup dialog's OK: select, configure with the device's parity, open.
bool DeviceRun::openPort() {
    const char parity = m_m.device_type == device_tracker ? 'E' : 'M';
    m_m.com_settings = lineSettings(m_m.baud_rate, parity);
    m_comm.setCommPort(m_m.com_port);
    if (const PortStatus err = m_comm.setSettings(m_m.com_settings)) {
        post(DeviceEvent::Kind::Message,
             std::string(quill::text::SetupSettingsFailed) + '\r' + err->text);
        return false;
    }
    if (const PortStatus err = m_comm.setPortOpen(true)) {
        post(DeviceEvent::Kind::Message,
             std::string(quill::text::PortOpenFailed) + '\r' + err->text);
        return false;
    }
    return true;
}

void DeviceRun::downloadEnded(DownloadEnd end) {
    m_outcome.decide(exitCodeFor(end), endName(end));
    finishSoon();
}

// The run ends from the event loop, once the download has finished the
// sequence it was in.
void DeviceRun::finishSoon() {
    if (m_finishing) {
        return;
    }
    m_finishing = true;
    m_idle.stop();
    QMetaObject::invokeMethod(
        &m_context, [this] { finish(); }, Qt::QueuedConnection);
}

void DeviceRun::finish() {
    m_exitCode = m_outcome.exitCode();
    if (m_exitCode == ExitCode::Complete && m_outcome.trackerReported()) {
        post(DeviceEvent::Kind::Message, text::CompletedAfterTrackerError);
    }
    // The port is closed only once the device has answered the last record:
    // closing restores the old line settings, which would change the parity
    // of bytes still on their way out.
    if (m_exitCode == ExitCode::Complete && !m_heardSinceSent) {
        m_lastAnswer.start();
        return;
    }
    exitLoop();
}

// One more pass of the loop lets what is queued for the port go out.
void DeviceRun::exitLoop() {
    m_lastAnswer.stop();
    QMetaObject::invokeMethod(
        &m_context, [this] { m_loop.exit(toInt(m_exitCode)); }, Qt::QueuedConnection);
}

void DeviceRun::restartIdle() {
    if (m_setup.idleTimeoutSeconds > 0 && !m_finishing) {
        m_idle.start();
    }
}

// The device has been silent too long: it stops as after a lost port.
void DeviceRun::idleExpired() {
    if (m_m.cstate == cs_off || m_m.cstate == cs_file_done || m_outcome.decided()) {
        return;
    }
    post(DeviceEvent::Kind::Message, text::IdlePrefix + std::to_string(m_setup.idleTimeoutSeconds) +
                                         text::IdleSuffix + '\r' + quill::text::DownloadStopped);
    m_outcome.decide(ExitCode::IdleTimeout);
    stopTalking();
    finishSoon();
}

void DeviceRun::interrupt() {
    if (m_finishing) {
        if (m_lastAnswer.isActive()) {
            exitLoop();
        }
        return;
    }
    m_outcome.decide(ExitCode::Interrupted);
    stopTalking();
    finishSoon();
}

// Nothing more goes to the device: the state machine off, its timer
// stopped, a waiting wait dialog closed, the port closed (its line settings
// restored). A handshake step resuming from its wait finds the port closed.
void DeviceRun::stopTalking() {
    m_downloader.stopDownload(DownloadEnd::Interrupted);
    m_timer.setEnabled(false);
    m_m.cstate = cs_off;
    m_wait.close();
    m_comm.setPortOpen(false);
}

void DeviceRun::deviceSpoke() {
    m_heardSinceSent = true;
    if (m_lastAnswer.isActive()) {
        exitLoop();
    }
    restartIdle();
}

void DeviceRun::hostSent() {
    m_heardSinceSent = false;
    restartIdle();
}

// After "Download complete" a lost port ends the wait for the last answer;
// if the device had not answered it yet, the download is not known to be whole.
void DeviceRun::portLost(const PortError&) {
    if (m_outcome.exitCode() == ExitCode::Complete && !m_heardSinceSent) {
        m_outcome.lostAfterComplete();
        m_exitCode = m_outcome.exitCode();
        post(DeviceEvent::Kind::Message, text::LostBeforeLastAnswer);
    }
    m_outcome.decide(ExitCode::PortError);
    if (m_lastAnswer.isActive()) {
        exitLoop();
    }
    finishSoon();
}

} // namespace quill::cli
