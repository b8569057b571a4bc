// SPDX-License-Identifier: MIT
#include "cli/singlerun.h"

#include "cli/clitexts.h"
#include "cli/portlist.h"
#include "port/portcontrol.h"
#include "port/startup.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "rfc2217/porturl.h"
#include "trace/tracetexts.h"

#include <cerrno>
#include <cstring>
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

bool namedByPath(const CliOptions& options) {
    const auto port = options.port();
    return port && !comNumber(*port);
}

// A link such as /dev/serial/by-id/... as the device node it stands for.
std::string resolvedPath(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    return ec ? device : real.string();
}

// Where the port might be instead, after one that could not be opened.
std::string candidatePorts() {
    std::string list = portCandidates(detectPorts());
    while (list.ends_with('\n')) {
        list.pop_back();
    }
    return list;
}

} // namespace

SingleRun::SingleRun(const CliOptions& options, SettingsStore& store, Console& console,
                     CliRecord& record)
    : m_options(options), m_store(store), m_console(console), m_record(record),
      m_resolver(resolverFor(options, store)),
      m_boxes(console, options.yes, options.risks, options.yesAnswer),
      m_wait(console, [](const std::string&) {}), m_progress(console) {}

SingleRun::~SingleRun() = default;

ExitCode SingleRun::exec() {
    if (const auto problems = applyOptions(); !problems.empty()) {
        for (const std::string& problem : problems) {
            m_console.error(std::string(text::ProgramName) + ": " + problem);
        }
        m_refused = ExitCode::Usage;
        return ExitCode::Usage;
    }
    if (!m_record.identify(m_options.file)) {
        m_refused = ExitCode::BadRecord;
        m_refusedAs = text::UnexpectedFirmware;
        m_record.refused(result(toInt(ExitCode::BadRecord)));
        return ExitCode::BadRecord;
    }
    // Before the port is touched: a trace that cannot be written is a bad
    // command line, not a failed download.
    if (!openLog()) {
        m_refused = ExitCode::Usage;
        return ExitCode::Usage;
    }
    const std::string trace = m_logFile ? m_options.logPath : std::string();
    const CliRecord::Row row = m_record.begin(result(0), trace);
    if (!m_record.required()) {
        m_refused = ExitCode::HistoryFailed;
        return ExitCode::HistoryFailed;
    }
    RunView& view = *this;
    m_station = std::make_unique<Station>(StationSetup{m_resolver, namedByPath(m_options), m_setup},
                                          m_boxes, m_wait, m_progress, view);
    attachTraces();
    const ExitCode code = m_station->exec();
    if (m_station->opening() == PortOpening::OpenFailed &&
        !rfc2217::isNetworkPortName(m_resolver(m_setup.comPort))) {
        m_console.error(candidatePorts());
    }
    // Written while the result is printed; the program waits for it at its end.
    m_record.end(row, result(exitStatus(code, m_signal)), trace);
    return code;
}

// Port, baud rate and device: the stored ones unless given. Everything that
// can be refused is refused here, all of it at once, before the port is touched.
std::vector<std::string> SingleRun::applyOptions() {
    Module1 m;
    read_settings(m, m_store);
    if (const auto port = m_options.port()) {
        m.com_port = static_cast<int16_t>(comNumber(*port).value_or(1));
    }
    m_setup.comPort = m.com_port;
    m_setup.baud = m_options.baud.value_or(m.baud_rate);
    m_setup.deviceType = m_options.device.value_or(m.device_type);
    m_setup.file = m_options.file;
    m_setup.idleTimeoutSeconds = m_options.idleTimeoutSeconds;
    m_setup.settleMs = m_options.settleMs;
    std::vector<std::string> problems;
    if (m_setup.comPort < 1 || m_setup.comPort > 4) {
        problems.push_back(m_setup.comPort == 0
                               ? std::string(text::NoPort)
                               : "COM" + std::to_string(m_setup.comPort) + text::NotComOneToFour);
    }
    if (!is_valid_baud(m_setup.baud)) {
        problems.emplace_back(text::NoBaud);
    }
    if (m_setup.deviceType == device_manual && !m_options.yes && ::isatty(STDIN_FILENO) == 0) {
        problems.emplace_back(text::PromptNeedsTerminal);
    }
    return problems;
}

// --log: the trace file, made before the port is touched.
bool SingleRun::openLog() {
    if (m_options.logPath.empty()) {
        return true;
    }
    std::string reason;
    m_logFile =
        TraceFile::create(m_options.logPath, text::ProgramName, reason, m_record.traceSubject());
    if (!m_logFile) {
        m_console.error(std::string(text::ProgramName) + ": " + text::LogNotCreated +
                        m_options.logPath + " (" + reason + ")");
        return false;
    }
    return true;
}

// The progress display, --log (the full trace, one event per line) and -v
// (the short one on standard error, a line at a time) listen to the trace.
void SingleRun::attachTraces() {
    TraceSession& trace = m_station->run().trace();
    m_progress.attach(&trace.progress());
    trace.addObserver(&m_progress);
    if (m_logFile) {
        m_logWriter =
            std::make_unique<TraceWriter>(m_logFile->output(), TraceWriter::Form::Full, [this] {
                m_console.error(std::string(quill::text::TraceNotWritten) + m_options.logPath +
                                " (" + std::strerror(errno) + ")" + quill::text::TraceGoesOn);
            });
        trace.addObserver(m_logWriter.get());
    }
    if (m_options.verbose) {
        m_verboseWriter = std::make_unique<TraceWriter>(
            [this](std::string_view lines) {
                m_console.trace(lines);
                return true;
            },
            TraceWriter::Form::Short, TraceWriter::FailureReport{}, TraceWriter::Flush::EachLine);
        trace.addObserver(m_verboseWriter.get());
    }
}

void SingleRun::runMessage(const std::string& text, bool error) {
    if (error) {
        m_console.error(text);
    } else {
        m_console.message(text);
    }
}

void SingleRun::downloadEnded(DownloadEnd end) {
    if (end != DownloadEnd::Complete) {
        m_console.setFailed();
    }
}

void SingleRun::runEnding(ExitCode code) {
    m_progress.finish();
    if (code != ExitCode::Complete) {
        m_console.setFailed();
        m_console.showLastKept();
    }
}

void SingleRun::stopAsking() {
    m_boxes.abortPrompt();
}

// SIGINT or SIGTERM. A run that has already ended only stops waiting.
void SingleRun::interrupt(int signal) {
    if (m_station && m_station->run().interrupt(text::Interrupted)) {
        m_signal = signal;
    }
}

RunResult SingleRun::result(int status) const {
    RunResult r;
    if (m_station) {
        r = m_station->run().result();
    } else {
        r.outcome = m_refusedAs != nullptr
                        ? std::string(m_refusedAs)
                        : std::string(exitCodeName(m_refused.value_or(ExitCode::Failure)));
        if (is_valid_baud(m_setup.baud)) {
            r.baud = m_setup.baud;
        }
        r.device = deviceKindName(m_setup.deviceType);
    }
    r.exitCode = status;
    r.fileSha256 = m_record.sha256();
    if (const auto port = m_options.port()) {
        r.port = *port;
    } else if (m_setup.comPort > 0) {
        r.port = "COM" + std::to_string(m_setup.comPort);
    }
    if (m_setup.comPort >= 1 && m_setup.comPort <= 4) {
        if (const std::string device = m_resolver(m_setup.comPort); !device.empty()) {
            r.devicePath = resolvedPath(devicePath(device));
        }
    }
    r.messages = m_console.messages();
    return r;
}

RunResult SingleRun::usageResult(const std::string& problems) {
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
