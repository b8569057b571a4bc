// SPDX-License-Identifier: MIT
#include "run/headlessrun.h"

#include "download/downloadtexts.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "run/runtexts.h"
#include "shared/linesettings.h"

namespace quill {

namespace {

// How long a completed download waits for the device to answer its last record.
constexpr int lastAnswerMs = 2000;

} // namespace

HeadlessRun::HeadlessRun(RunPieces pieces, RunSetup setup, RunView& view)
    : m_pieces(std::move(pieces)), m_setup(std::move(setup)), m_view(view),
      m_trace(m_m, m_pieces.port, m_pieces.timer, m_pieces.boxes, m_pieces.wait, m_pieces.clock),
      m_downloader(m_trace.wrap(Context{m_m, m_pieces.port, m_pieces.timer, m_pieces.boxes,
                                        m_pieces.wait, m_pieces.file, m_pieces.form, this})) {
    m_m.com_port = m_setup.comPort;
    m_m.baud_rate = m_setup.baud;
    m_m.device_type = m_setup.deviceType;
    m_trace.addObserver(this);
    m_pieces.idle.setEnabled(false);
    m_pieces.idle.setInterval(m_setup.idleTimeoutSeconds * 1000);
    m_pieces.idle.setHandler([this] { idleExpired(); });
    m_pieces.lastAnswer.setEnabled(false);
    m_pieces.lastAnswer.setInterval(lastAnswerMs);
    m_pieces.lastAnswer.setHandler([this] { exitLoop(); });
    m_pieces.settle.setEnabled(false);
    m_pieces.settle.setInterval(m_setup.settleMs);
    m_pieces.settle.setHandler([this] {
        m_pieces.settle.setEnabled(false);
        if (!m_finishing) {
            m_trace.comm().setInBufferCount(0);
        }
        start();
    });
}

HeadlessRun::~HeadlessRun() {
    m_pieces.idle.setHandler({});
    m_pieces.lastAnswer.setHandler({});
    m_pieces.settle.setHandler({});
    m_trace.removeObserver(this);
}

PortOpening HeadlessRun::openPort() {
    // The device options 2 and 3 have no parity of their own there; they
    // get the mark parity every download ends up with.
    const char parity = m_m.device_type == device_tracker ? 'E' : 'M';
    m_m.com_settings = lineSettings(m_m.baud_rate, parity);
    MSComm& port = m_trace.comm();
    port.setCommPort(m_m.com_port);
    if (const PortStatus err = port.setSettings(m_m.com_settings)) {
        m_end.decide(Outcome::PortFailure);
        m_view.runMessage(std::string(text::SetupSettingsFailed) + '\r' + err->text, true);
        return PortOpening::SettingsRefused;
    }
    if (const PortStatus err = port.setPortOpen(true)) {
        m_end.decide(Outcome::PortFailure);
        m_view.runMessage(std::string(text::PortOpenFailed) + '\r' + err->text, true);
        return PortOpening::OpenFailed;
    }
    return PortOpening::Open;
}

void HeadlessRun::startSoon() {
    if (m_setup.settleMs > 0) {
        m_pieces.settle.setEnabled(true);
    } else {
        m_pieces.queue.post([this] { start(); });
    }
}

void HeadlessRun::start() {
    if (m_finishing) {
        return; // stopped before it began
    }
    m_m.hex_file_name = m_setup.file;
    m_trace.noteStart();
    m_downloader.cmdStart_Click();
}

// Told once per download, before any message about its end is shown.
void HeadlessRun::downloadEnded(DownloadEnd end) {
    m_end.decide(outcomeOf(end));
    m_view.downloadEnded(end);
    if (end == DownloadEnd::Cancelled) {
        m_view.runMessage(text::NotStarted, false);
    }
    finishSoon();
}

// Whatever the owner could not give the unit ends the run before its first
// record: the device, erased, is left as a failed unit.
void HeadlessRun::deviceAnswered() {
    if (const std::optional<Outcome> refused = m_view.deviceAnswered()) {
        m_end.decide(*refused);
        stopTalking();
        finishSoon();
    }
}

// The unit cannot be begun (its work order is complete): the device is left
// as it was, having heard nothing.
void HeadlessRun::beforeFirstByte() {
    if (const std::optional<Outcome> refused = m_view.beforeFirstByte()) {
        m_end.decide(*refused);
        stopTalking();
        finishSoon();
    }
}

// What the run needs to know of the conversation comes from the trace.
void HeadlessRun::onTraceEvent(const TraceEvent& event) {
    switch (event.kind) {
    case TraceKind::Written:
        m_heardSinceSent = false;
        restartIdle();
        break;
    case TraceKind::Received:
        // What the device says does not hold the limit off: only a record
        // it lets go does. A device, or a server on the network, that keeps
        // talking without ever releasing the next record is as stuck as a
        // silent one.
        m_heardSinceSent = true;
        if (m_pieces.lastAnswer.enabled()) {
            exitLoop();
        }
        break;
    case TraceKind::PortLost:
        // Noted before the download hears of it: its message box then finds
        // the run decided.
        portLost();
        break;
    case TraceKind::WaitReport:
        // The handshake goes on, so this decides nothing yet; it becomes the
        // cause if the device then does not answer.
        m_end.noteTrackerReport();
        break;
    default:
        break;
    }
}

// The run ends from the event loop, once the download has finished the
// sequence it was in (a message box returns before that sequence ends).
void HeadlessRun::finishSoon() {
    if (m_finishing) {
        return;
    }
    m_finishing = true;
    m_pieces.idle.setEnabled(false);
    m_view.stopAsking();
    m_pieces.queue.post([this] { finish(); });
}

void HeadlessRun::finish() {
    m_finalOutcome = m_end.outcome();
    if (m_finalOutcome == Outcome::Complete && m_end.trackerReported()) {
        m_view.runMessage(text::CompletedAfterTrackerError, false);
    }
    m_view.runEnding(m_finalOutcome);
    // The download does not wait for the device's answer to the last
    // record; the run does, briefly, before the port is closed: closing
    // restores the port's old line settings at once, which would change the
    // parity of bytes still on their way out.
    if (m_finalOutcome == Outcome::Complete && !m_heardSinceSent) {
        m_pieces.lastAnswer.setEnabled(true);
        return;
    }
    exitLoop();
}

// The serial control writes from the event loop when the port can take the
// bytes: one more pass of the loop lets what is queued go out.
void HeadlessRun::exitLoop() {
    m_pieces.lastAnswer.setEnabled(false);
    m_pieces.queue.post([this] { m_view.runFinished(m_finalOutcome); });
}

void HeadlessRun::restartIdle() {
    if (m_setup.idleTimeoutSeconds > 0 && !m_finishing) {
        m_pieces.idle.setEnabled(true);
    }
}

// The device has been silent too long: the download stops as after a lost port.
void HeadlessRun::idleExpired() {
    m_pieces.idle.setEnabled(false);
    if (m_m.cstate == cs_off || m_m.cstate == cs_file_done || m_end.decided()) {
        return;
    }
    m_view.runMessage(text::IdlePrefix + std::to_string(m_setup.idleTimeoutSeconds) +
                          text::IdleSuffix + '\r' + text::DownloadStopped,
                      true);
    m_end.decide(Outcome::IdleTimeout);
    stopTalking();
    finishSoon();
}

bool HeadlessRun::interrupt(std::string_view say) {
    if (m_finishing) {
        if (m_pieces.lastAnswer.enabled()) {
            exitLoop();
        }
        return false;
    }
    if (!say.empty()) {
        m_view.runMessage(std::string(say), true);
    }
    m_end.decide(Outcome::Interrupted);
    stopTalking();
    finishSoon();
    return true;
}

// Nothing more goes to the device: the state machine off, its timer
// stopped, a waiting prompt or wait dialog closed, and the port closed,
// which restores its line settings. A handshake step resuming from its wait
// finds the port closed and sends nothing. All of it through the trace's
// pieces, so that the trace shows it.
void HeadlessRun::stopTalking() {
    m_downloader.stopDownload(DownloadEnd::Interrupted);
    m_trace.timer().setEnabled(false);
    m_m.cstate = cs_off;
    m_trace.waitDialog().close();
    m_view.stopAsking();
    m_trace.comm().setPortOpen(false);
}

// After "Download complete" a lost port ends the wait for the last answer;
// if the device had not answered it yet, the download is not known to be whole.
void HeadlessRun::portLost() {
    if (m_end.outcome() == Outcome::Complete && !m_heardSinceSent) {
        m_end.lostAfterComplete();
        m_finalOutcome = m_end.outcome();
        m_view.runMessage(text::LostBeforeLastAnswer, true);
    }
    m_end.decide(Outcome::PortFailure);
    if (m_pieces.lastAnswer.enabled()) {
        exitLoop();
    }
    finishSoon();
}

} // namespace quill
