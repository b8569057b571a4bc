// SPDX-License-Identifier: MIT
#include "cli/clirun.h"

#include "cli/clitexts.h"
#include "cli/portlist.h"
#include "download/downloadtexts.h"
#include "download/tracker.h"
#include "platform/qt/portnames.h"
#include "platform/qt/portscan.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "port/startup.h"

#include "quillversion.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace quill::cli {

namespace {

// "--port DEVICE" makes that device COM1 for this run; the store is not touched.
PortResolver resolverFor(const CliOptions& options, const SettingsStore& store) {
    if (const auto port = options.port(); port && !comNumber(*port)) {
        return [device = *port](int16_t n) { return n == 1 ? device : std::string{}; };
    }
    return defaultPortResolver(store);
}

// How long a completed download waits for the device to answer its last record.
constexpr int lastAnswerMs = 2000;

// The trace file's first line: which program wrote it, and when, in local
// time (the times of the events count from the start).
std::string logHeader() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char when[64] = "?";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &local);
    }
    return std::string("# ") + text::ProgramName + " " + QuillVersion +
           " download trace, started " + when + "\n";
}

std::string deviceKind(int16_t deviceType) {
    switch (deviceType) {
    case device_manual:
        return "manual";
    case device_tracker:
        return "tracker";
    default:
        return "other";
    }
}

// A link such as /dev/serial/by-id/... as the device node it stands for.
std::string resolvedPath(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    return ec ? device : real.string();
}

} // namespace

CliRun::CliRun(const CliOptions& options, SettingsStore& store, Console& console)
    : m_options(options), m_store(store), m_resolver(resolverFor(options, store)),
      m_console(console), m_port(m_resolver), m_comm(m_port, *this),
      m_boxes(console, options.yes, options.allowNoEndRecord),
      m_wait(console, [this](const std::string&) { m_outcome.noteTrackerReport(); }),
      m_progress(console), m_trace(m_m, m_comm, m_timer, m_boxes, m_wait, steadyClockUs),
      m_downloader(
          m_trace.wrap(Context{m_m, m_comm, m_timer, m_boxes, m_wait, m_file, m_progress, this})) {
    m_progress.attach(&m_trace.progress());
    m_trace.addObserver(&m_progress);
    // A port given as a path is called by that path, not "COM1 (path)".
    if (const auto port = options.port(); port && !comNumber(*port)) {
        m_port.setNamedByDevice(true);
    }
    m_idle.setSingleShot(true);
    m_idle.setInterval(options.idleTimeoutSeconds * 1000);
    QObject::connect(&m_idle, &QTimer::timeout, &m_idle, [this] { idleExpired(); });
    m_lastAnswer.setSingleShot(true);
    m_lastAnswer.setInterval(lastAnswerMs);
    QObject::connect(&m_lastAnswer, &QTimer::timeout, &m_lastAnswer, [this] { exitLoop(); });
}

ExitCode CliRun::exec() {
    if (const auto problems = applyOptions(); !problems.empty()) {
        for (const std::string& problem : problems) {
            m_console.error(std::string(text::ProgramName) + ": " + problem);
        }
        m_outcome.decide(ExitCode::Usage);
        return m_exitCode = ExitCode::Usage;
    }
    // Before the port is touched: a trace that cannot be written is a bad
    // command line, not a failed download.
    if (!openLog()) {
        m_outcome.decide(ExitCode::Usage);
        return m_exitCode = ExitCode::Usage;
    }
    if (!openPort()) {
        m_outcome.decide(ExitCode::PortError);
        return m_exitCode = ExitCode::PortError;
    }
    m_m.hex_file_name = m_options.file;
    QMetaObject::invokeMethod(
        &m_loop, [this] { start(); }, Qt::QueuedConnection);
    return static_cast<ExitCode>(m_loop.exec());
}

// Port, baud rate and device: the stored ones unless given. Everything that
// can be refused is refused here, all of it at once, before the port is touched.
std::vector<std::string> CliRun::applyOptions() {
    read_settings(m_m, m_store);
    if (const auto port = m_options.port()) {
        m_m.com_port = static_cast<int16_t>(comNumber(*port).value_or(1));
    }
    if (m_options.baud) {
        m_m.baud_rate = *m_options.baud;
    }
    if (m_options.device) {
        m_m.device_type = *m_options.device;
    }
    std::vector<std::string> problems;
    if (m_m.com_port < 1 || m_m.com_port > 4) {
        problems.push_back(m_m.com_port == 0
                               ? std::string(text::NoPort)
                               : "COM" + std::to_string(m_m.com_port) + text::NotComOneToFour);
    }
    if (!is_valid_baud(m_m.baud_rate)) {
        problems.emplace_back(text::NoBaud);
    }
    if (m_m.device_type == device_manual && !m_options.yes && ::isatty(STDIN_FILENO) == 0) {
        problems.emplace_back(text::PromptNeedsTerminal);
    }
    return problems;
}

// As the COM Setup dialog's OK: select, configure with the device's parity,
// open. The device options 2 and 3 have no parity of their own there; they
// get the mark parity every download ends up with.
std::string CliRun::candidatePorts() const {
    std::string list = portCandidates(detectPorts());
    while (list.ends_with('\n')) {
        list.pop_back();
    }
    return list;
}

// --log: the full trace, one event per line; -v: the short one on standard
// error, a line at a time.
bool CliRun::openLog() {
    if (!m_options.logPath.empty()) {
        std::string reason;
        m_logFile = TraceFile::create(m_options.logPath, reason);
        if (m_logFile && !m_logFile->output()(logHeader())) {
            reason = std::strerror(errno);
            m_logFile.reset();
        }
        if (!m_logFile) {
            m_console.error(std::string(text::ProgramName) + ": " + text::LogNotCreated +
                            m_options.logPath + " (" + reason + ")");
            return false;
        }
        m_logWriter =
            std::make_unique<TraceWriter>(m_logFile->output(), TraceWriter::Form::Full, [this] {
                m_console.error(std::string(quill::text::TraceNotWritten) + m_options.logPath +
                                " (" + std::strerror(errno) + ")" + quill::text::TraceGoesOn);
            });
        m_trace.addObserver(m_logWriter.get());
    }
    if (m_options.verbose) {
        m_verboseWriter = std::make_unique<TraceWriter>(
            [this](std::string_view lines) {
                m_console.trace(lines);
                return true;
            },
            TraceWriter::Form::Short, TraceWriter::FailureReport{}, TraceWriter::Flush::EachLine);
        m_trace.addObserver(m_verboseWriter.get());
    }
    return true;
}

bool CliRun::openPort() {
    const char parity = m_m.device_type == device_tracker ? 'E' : 'M';
    m_m.com_settings = lineSettings(m_m.baud_rate, parity);
    MSComm& port = m_trace.comm();
    port.setCommPort(m_m.com_port);
    if (const PortStatus err = port.setSettings(m_m.com_settings)) {
        m_console.error(std::string(quill::text::SetupSettingsFailed) + '\r' + err->text);
        return false;
    }
    if (const PortStatus err = port.setPortOpen(true)) {
        m_console.error(std::string(quill::text::PortOpenFailed) + '\r' + err->text);
        // Where the port might be instead.
        m_console.error(candidatePorts());
        return false;
    }
    return true;
}

void CliRun::start() {
    m_trace.noteStart();
    m_downloader.cmdStart_Click();
}

// Told once per download, before any message about its end is shown.
void CliRun::downloadEnded(DownloadEnd end) {
    if (end != DownloadEnd::Complete) {
        m_console.setFailed();
    }
    if (end == DownloadEnd::Cancelled) {
        m_console.message(text::NotStarted);
    }
    m_outcome.decide(exitCodeFor(end), endName(end));
    finishSoon();
}

// The run ends from the event loop, once the download has finished the
// sequence it was in (a message box returns before that sequence ends).
void CliRun::finishSoon() {
    if (m_finishing) {
        return;
    }
    m_finishing = true;
    m_idle.stop();
    m_boxes.abortPrompt();
    QMetaObject::invokeMethod(
        &m_loop, [this] { finish(); }, Qt::QueuedConnection);
}

void CliRun::finish() {
    m_exitCode = m_outcome.exitCode();
    if (m_exitCode == ExitCode::Complete && m_outcome.trackerReported()) {
        m_console.message(text::CompletedAfterTrackerError);
    }
    m_progress.finish();
    if (m_exitCode != ExitCode::Complete) {
        m_console.setFailed();
        m_console.showLastKept();
    }
    // The download does not wait for the device's answer to the last record;
    // quill-cli does, briefly, before it closes the port: closing restores
    // the port's old line settings at once, which would change the parity of
    // bytes still on their way out.
    if (m_exitCode == ExitCode::Complete && !m_heardSinceSent) {
        m_lastAnswer.start();
        return;
    }
    exitLoop();
}

// The serial control writes from the event loop when the port can take the
// bytes: one more pass of the loop lets what is queued go out.
void CliRun::exitLoop() {
    m_lastAnswer.stop();
    QMetaObject::invokeMethod(
        &m_loop, [this] { m_loop.exit(toInt(m_exitCode)); }, Qt::QueuedConnection);
}

void CliRun::restartIdle() {
    if (m_options.idleTimeoutSeconds > 0 && !m_finishing) {
        m_idle.start();
    }
}

// The device has been silent too long: the download stops as after a lost
// port.
void CliRun::idleExpired() {
    if (m_m.cstate == cs_off || m_m.cstate == cs_file_done || m_outcome.decided()) {
        return;
    }
    m_console.error(text::IdlePrefix + std::to_string(m_options.idleTimeoutSeconds) +
                    text::IdleSuffix + '\r' + quill::text::DownloadStopped);
    m_outcome.decide(ExitCode::IdleTimeout);
    stopTalking();
    finishSoon();
}

// SIGINT or SIGTERM. A run that has already ended only stops waiting.
void CliRun::interrupt(int signal) {
    if (m_finishing) {
        if (m_lastAnswer.isActive()) {
            exitLoop();
        }
        return;
    }
    m_signal = signal;
    m_console.error(text::Interrupted);
    m_outcome.decide(ExitCode::Interrupted);
    stopTalking();
    finishSoon();
}

// Nothing more goes to the device: the state machine is off, its timer
// stopped, a waiting prompt or wait dialog closed, and the port closed, which
// restores its line settings. A handshake step resuming from its wait finds
// the port closed and sends nothing. All of it through the trace's pieces,
// so that the trace shows it.
void CliRun::stopTalking() {
    m_downloader.stopDownload(DownloadEnd::Interrupted);
    m_trace.timer().setEnabled(false);
    m_m.cstate = cs_off;
    m_trace.waitDialog().close();
    m_boxes.abortPrompt();
    m_trace.comm().setPortOpen(false);
}

void CliRun::deviceSpoke() {
    m_heardSinceSent = true;
    if (m_lastAnswer.isActive()) {
        exitLoop();
    }
    restartIdle();
}

void CliRun::hostSent() {
    m_heardSinceSent = false;
    restartIdle();
}

// After "Download complete" a lost port ends the wait for the last answer;
// if the device had not answered it yet, the download is not known to be whole.
void CliRun::portLost(const PortError&) {
    if (m_outcome.exitCode() == ExitCode::Complete && !m_heardSinceSent) {
        m_outcome.lostAfterComplete();
        m_exitCode = m_outcome.exitCode();
        m_console.error(text::LostBeforeLastAnswer);
    }
    m_outcome.decide(ExitCode::PortError);
    if (m_lastAnswer.isActive()) {
        exitLoop();
    }
    finishSoon();
}

} // namespace quill::cli

namespace quill::cli {

RunResult CliRun::result(int status) const {
    RunResult r;
    r.outcome = m_outcome.name();
    r.exitCode = status;
    if (const auto port = m_options.port()) {
        r.port = *port;
    } else if (m_m.com_port > 0) {
        r.port = "COM" + std::to_string(m_m.com_port);
    }
    if (m_m.com_port >= 1 && m_m.com_port <= 4) {
        if (const std::string device = m_resolver(m_m.com_port); !device.empty()) {
            r.devicePath = resolvedPath(device);
        }
    }
    if (is_valid_baud(m_m.baud_rate)) {
        r.baud = m_m.baud_rate;
    }
    r.device = deviceKind(m_m.device_type);
    const DownloadProgress& p = m_trace.progress();
    r.recordsSent = p.recordsSent();
    r.recordsTotal = p.totals().records;
    r.dataBytesSent = p.dataBytesSent();
    r.dataBytesTotal = p.totals().dataBytes;
    r.seconds = p.elapsedSeconds();
    r.messages = m_console.messages();
    return r;
}

RunResult CliRun::usageResult(const std::string& problems) {
    RunResult r;
    r.outcome = exitCodeName(ExitCode::Usage);
    r.exitCode = toInt(ExitCode::Usage);
    for (size_t at = 0; at < problems.size();) {
        const size_t end = std::min(problems.find('\n', at), problems.size());
        r.messages.push_back(problems.substr(at, end - at));
        at = end + 1;
    }
    return r;
}

} // namespace quill::cli
