// SPDX-License-Identifier: MIT
#include "cli/multirun.h"

#include "cli/checkonce.h"
#include "cli/clitexts.h"
#include "cli/multijson.h"
#include "cli/portlist.h"
#include "port/portcontrol.h"
#include "port/startup.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "rfc2217/porturl.h"
#include "run/outcome.h"
#include "run/runtexts.h"

#include <QMetaObject>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::cli {

namespace {

// A terminal's lines are redrawn at most this often.
constexpr int redrawMs = 200;

// The same device under two names: a path and a link to it (such as a
// /dev/serial/by-id name), or one path written two ways.
// (std::filesystem::equivalent refuses device nodes: stat them.) Ports on
// the network are the same when their URLs are.
bool sameDevice(const std::string& a, const std::string& b) {
    if (rfc2217::isNetworkPortName(a) || rfc2217::isNetworkPortName(b)) {
        return a == b;
    }
    struct stat sa {};
    struct stat sb {};
    return a == b || (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
                      sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
}

} // namespace

MultiRun::MultiRun(const CliOptions& options, SettingsStore& store, Console& console,
                   std::FILE* out, CliRecord& record)
    : m_options(options), m_store(store), m_console(console), m_record(record), m_out(out),
      m_terminal(console.terminal() && !options.quiet),
      m_boxes(console, options.yes, options.risks, options.yesAnswer) {
    m_redraw.setInterval(redrawMs);
    QObject::connect(&m_redraw, &QTimer::timeout, &m_main, [this] {
        if (m_dirty) {
            drawBlock();
        }
    });
    m_record.setSay([this](const std::string& text) { say(text); });
}

MultiRun::~MultiRun() {
    m_record.setSay({});
    for (auto& thread : m_threads) {
        thread->requestStop();
    }
    m_threads.clear(); // each waits for its thread
}

ExitCode MultiRun::exec() {
    const ExitCode code = run();
    m_code = code;
    // The devices that never began, or did not end on their own.
    for (size_t i = 0; m_attempted && i < m_status.size(); ++i) {
        if (!m_recorded[i]) {
            record(i, code);
        }
    }
    if (m_options.json) {
        const std::string json = multiRunJson(runResult(code), deviceResults(code));
        std::fwrite(json.data(), 1, json.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return code;
}

namespace {

std::string deviceKind(int16_t type) {
    return type == device_manual ? "manual" : type == device_tracker ? "tracker" : "other";
}

} // namespace

// The run as a whole: its outcome and exit status, the sums over the
// devices, the longest of their times, and the messages of its own.
RunResult MultiRun::runResult(ExitCode code) const {
    RunResult r;
    r.outcome = m_outcomeName.empty() ? std::string(exitCodeName(code)) : m_outcomeName;
    r.exitCode = exitStatus(code, m_signal);
    if (!m_setups.empty() && is_valid_baud(m_setups.front().baud)) {
        r.baud = m_setups.front().baud;
        r.device = deviceKind(m_setups.front().deviceType);
    }
    for (const DeviceStatus& d : m_status) {
        r.recordsSent += d.records;
        r.recordsTotal += m_totals.records;
        r.dataBytesSent += d.dataBytes;
        r.dataBytesTotal += m_totals.dataBytes;
        r.seconds = std::max(r.seconds, d.seconds);
    }
    r.messages = m_console.messages();
    return r;
}

// Each device as a single port's result; a device that never started ends as the run did.
RunResult MultiRun::deviceResult(size_t i, ExitCode code) const {
    const DeviceStatus& d = m_status[i];
    RunResult r;
    r.outcome = d.ended ? d.outcome : runResult(code).outcome;
    r.exitCode = toInt(d.ended ? d.code : code);
    r.port = d.port;
    r.devicePath = m_setups[i].device;
    if (is_valid_baud(m_setups[i].baud)) {
        r.baud = m_setups[i].baud;
        r.device = deviceKind(m_setups[i].deviceType);
    }
    r.fileSha256 = m_record.sha256();
    r.recordsSent = d.records;
    r.recordsTotal = m_totals.records;
    r.dataBytesSent = d.dataBytes;
    r.dataBytesTotal = m_totals.dataBytes;
    r.seconds = d.seconds;
    r.messages = m_messages[i];
    return r;
}

std::vector<RunResult> MultiRun::deviceResults(ExitCode code) const {
    std::vector<RunResult> results;
    for (size_t i = 0; i < m_status.size(); ++i) {
        results.push_back(deviceResult(i, code));
    }
    return results;
}

// A device's row: ended when it was begun, else begun and ended as refused.
void MultiRun::record(size_t i, ExitCode code) {
    RunResult r = deviceResult(i, code);
    if (r.messages.empty() && !m_console.messages().empty()) {
        r.messages = {m_console.messages().back()}; // the run's, said for all
    }
    if (m_rows[i]) {
        const auto& trace = m_setups[i].traceFile;
        m_record.end(*m_rows[i], r, trace ? trace->path() : std::string());
    } else {
        m_record.refused(r);
    }
    m_recorded[i] = true;
}

ExitCode MultiRun::run() {
    if (const auto problems = applyOptions(); !problems.empty()) {
        for (const std::string& problem : problems) {
            m_console.error(std::string(text::ProgramName) + ": " + problem);
        }
        return ExitCode::Usage;
    }
    m_attempted = true;
    m_rows.resize(m_setups.size());
    m_recorded.resize(m_setups.size());
    if (!m_record.identify(m_options.file)) {
        m_outcomeName = text::UnexpectedFirmware;
        return ExitCode::BadRecord;
    }
    // What is not whole firmware is refused for every device, before any is touched.
    const CheckedOnce check = checkFileOnce(m_options.file, m_boxes);
    if (check.refused) {
        m_outcomeName = endName(*check.refused);
        return exitCodeFor(*check.refused);
    }
    m_totals = check.totals;
    if (!makeTraceFiles()) {
        m_attempted = false;
        return ExitCode::Usage;
    }
    if (!prompt()) {
        return m_signal != 0 ? ExitCode::Interrupted : ExitCode::Cancelled;
    }
    if (m_signal != 0) {
        return ExitCode::Interrupted;
    }
    for (size_t i = 0; i < m_setups.size(); ++i) {
        const auto& trace = m_setups[i].traceFile;
        m_rows[i] = m_record.begin(deviceResult(i, ExitCode::Failure),
                                   trace ? trace->path() : std::string());
    }
    if (!m_record.required()) {
        return ExitCode::HistoryFailed;
    }
    startDevices();
    m_loop.exec();
    m_redraw.stop();
    for (auto& thread : m_threads) {
        thread->wait();
    }
    if (m_terminal) {
        drawBlock();
    }
    m_blockLines = 0;
    // Quiet, the table shows only when it tells of a failure.
    const bool allComplete =
        std::all_of(m_status.begin(), m_status.end(),
                    [](const DeviceStatus& d) { return d.code == ExitCode::Complete; });
    if (!m_options.quiet || !allComplete) {
        put(finalTable(m_status, m_totals));
    }
    if (m_openFailed) {
        // Where the ports might be instead.
        m_console.error(portCandidates(detectPorts()));
    }
    if (m_signal != 0) {
        return ExitCode::Interrupted;
    }
    offerRetry();
    std::vector<ExitCode> codes;
    for (const DeviceStatus& device : m_status) {
        codes.push_back(device.code);
    }
    const ExitCode code = aggregateExitCode(codes);
    // The name of the first failure stands for the run when all failed alike.
    for (const DeviceStatus& device : m_status) {
        if (code != ExitCode::DevicesDiffer && device.code == code) {
            m_outcomeName = device.outcome;
            break;
        }
    }
    return code;
}

// The settings every device runs with: the stored ones unless given. Every
// problem is reported at once, before any port is touched.
std::vector<std::string> MultiRun::applyOptions() {
    Module1 m;
    read_settings(m, m_store);
    const int32_t baud = m_options.baud.value_or(m.baud_rate);
    const int16_t deviceType = m_options.device.value_or(m.device_type);
    const PortResolver comDevice = defaultPortResolver(m_store);
    std::vector<std::string> problems;
    for (const std::string& port : m_options.ports) {
        DeviceSetup s;
        s.port = port;
        s.device = devicePath(port);
        s.baud = baud;
        s.deviceType = deviceType;
        s.file = m_options.file;
        s.idleTimeoutSeconds = m_options.idleTimeoutSeconds;
        s.risks = m_options.risks;
        s.settleMs = m_options.settleMs;
        s.verbose = m_options.verbose;
        if (const auto n = comNumber(port)) {
            if (*n > 4) {
                problems.push_back(port + text::NotComOneToFour);
            }
            s.comPort = static_cast<int16_t>(*n);
            s.device = devicePath(comDevice(s.comPort));
            s.namedByPath = false;
        }
        // Two threads on one device would write into each other's downloads,
        // two traces into one file.
        for (const DeviceSetup& earlier : m_setups) {
            if (sameDevice(earlier.device, s.device)) {
                problems.push_back(earlier.port + " and " + port + text::SameDeviceTwice +
                                   s.device);
            } else if (!m_options.logPath.empty() &&
                       traceFileName(earlier.port) == traceFileName(port)) {
                problems.push_back(earlier.port + " and " + port + text::SameTraceTwice +
                                   traceFileName(port));
            }
        }
        DeviceStatus status;
        status.port = port;
        m_status.push_back(status);
        m_nextQuarter.push_back(25);
        m_messages.emplace_back();
        m_setups.push_back(std::move(s));
    }
    if (!is_valid_baud(baud)) {
        problems.emplace_back(text::NoBaud);
    }
    if (deviceType == device_manual && !m_options.yes && ::isatty(STDIN_FILENO) == 0) {
        problems.emplace_back(text::PromptNeedsTerminal);
    }
    return problems;
}

// --log DIR: one trace per device, named after its port, made before any
// port is touched; a trace that cannot be made stops the run here.
bool MultiRun::makeTraceFiles() {
    if (m_options.logPath.empty()) {
        return true;
    }
    for (DeviceSetup& setup : m_setups) {
        const std::string path = m_options.logPath + "/" + traceFileName(setup.port);
        std::string error;
        std::unique_ptr<TraceFile> file =
            TraceFile::create(path, text::ProgramName, error, m_record.traceSubject());
        if (!file) {
            m_console.error(std::string(text::ProgramName) + ": " + text::LogNotCreated + path +
                            " (" + error + ")");
            return false;
        }
        setup.traceFile = std::move(file);
    }
    return true;
}

// The Manual prompt, once for every device.
bool MultiRun::prompt() {
    if (m_setups.front().deviceType != device_manual) {
        return true;
    }
    const std::string question = text::PrepareDevicesPrefix + std::to_string(m_setups.size()) +
                                 text::PrepareDevicesMiddle +
                                 std::to_string(m_setups.front().baud) + '\r';
    if (m_boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None, MsgResult::Ok) !=
        MsgResult::Ok) {
        if (m_signal == 0) {
            m_console.message(quill::text::NotStarted);
        }
        return false;
    }
    return true;
}

void MultiRun::startDevices() {
    if (m_terminal) {
        drawBlock();
        m_redraw.start();
    }
    for (size_t i = 0; i < m_setups.size(); ++i) {
        auto post = [this, i](DeviceEvent event) {
            QMetaObject::invokeMethod(
                &m_main, [this, i, event = std::move(event)] { onEvent(i, event); },
                Qt::QueuedConnection);
        };
        auto ended = [this, i](ExitCode code, const DeviceEvent& last, bool openFailed) {
            QMetaObject::invokeMethod(
                &m_main, [this, i, code, last, openFailed] { onEnded(i, code, last, openFailed); },
                Qt::QueuedConnection);
        };
        m_threads.push_back(std::make_unique<DeviceThread>(m_setups[i], post, ended));
    }
    for (auto& thread : m_threads) {
        thread->start();
    }
}

// The command that downloads again to exactly the ports that failed, the
// same firmware held to its SHA-256. Not between the rounds of --repeat,
// whose next round is the retry.
void MultiRun::offerRetry() {
    CliOptions retry = m_options;
    retry.ports.clear();
    for (const DeviceStatus& d : m_status) {
        if (d.code != ExitCode::Complete) {
            retry.ports.push_back(d.port);
        }
    }
    if (retry.ports.empty() || m_options.repeat) {
        return;
    }
    if (!m_record.sha256().empty()) {
        retry.expectSha256 = m_record.sha256();
    }
    put(text::RetryFailed + commandLine(retry) + "\n");
}

// A line of quill-cli's own, in place of the devices' lines while they show.
void MultiRun::say(const std::string& text) {
    eraseBlock();
    m_console.error(text);
    if (m_terminal && !m_threads.empty()) {
        drawBlock();
    }
}

void MultiRun::interrupt(int signal) {
    if (m_signal == 0) {
        m_signal = signal;
        eraseBlock();
        m_console.error(text::Interrupted);
        if (m_terminal && !m_threads.empty()) {
            drawBlock();
        }
    }
    m_boxes.abortPrompt();
    for (auto& thread : m_threads) {
        thread->requestStop();
    }
}

void MultiRun::update(size_t index, const DeviceEvent& event) {
    DeviceStatus& d = m_status[index];
    d.records = event.records;
    d.dataBytes = event.dataBytes;
    d.percent = event.percent;
    d.seconds = event.seconds;
    d.rate = event.rate;
    if (event.kind == DeviceEvent::Kind::Phase) {
        d.phase = event.text;
    }
}

void MultiRun::onEvent(size_t index, const DeviceEvent& event) {
    update(index, event);
    switch (event.kind) {
    case DeviceEvent::Kind::Message:
        m_messages[index].push_back(event.text);
        // Quiet, a device's messages wait for its end: shown only if it failed.
        if (!m_options.quiet) {
            showMessage(index, event.text);
        }
        break;
    case DeviceEvent::Kind::Trace:
        showMessage(index, event.text);
        break;
    case DeviceEvent::Kind::Phase:
        if (!m_terminal && !m_options.quiet) {
            showMessage(index, event.text);
        }
        break;
    case DeviceEvent::Kind::Progress:
        break;
    }
    if (m_terminal) {
        m_dirty = true;
    } else if (!m_options.quiet) {
        showQuarter(index);
    }
}

void MultiRun::onEnded(size_t index, ExitCode code, const DeviceEvent& last, bool openFailed) {
    DeviceStatus& d = m_status[index];
    update(index, last);
    d.ended = true;
    d.code = code;
    d.outcome = last.outcome.empty() ? std::string(exitCodeName(code)) : last.outcome;
    // Local serial ports are no help with a port on the network.
    m_openFailed =
        m_openFailed || (openFailed && !rfc2217::isNetworkPortName(m_setups[index].device));
    record(index, code);
    if (m_options.quiet && code != ExitCode::Complete) {
        for (const std::string& message : m_messages[index]) {
            showMessage(index, message);
        }
    }
    if (m_terminal) {
        m_dirty = true;
    } else if (!m_options.quiet) {
        put(progressLine(d, m_totals) + "\n");
    }
    if (++m_ended == m_status.size()) {
        m_loop.quit();
    }
}

// Without a terminal: a line when a device passes a quarter of the file.
void MultiRun::showQuarter(size_t index) {
    DeviceStatus& d = m_status[index];
    if (d.percent < m_nextQuarter[index] || m_nextQuarter[index] > 100) {
        return;
    }
    m_nextQuarter[index] = (d.percent / 25 + 1) * 25;
    put(progressLine(d, m_totals) + "\n");
}

// A message of one device, each of its lines prefixed with the port.
void MultiRun::showMessage(size_t index, const std::string& text) {
    std::string lines;
    std::string rest = text;
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) {
        rest.pop_back();
    }
    size_t from = 0;
    while (from <= rest.size()) {
        const size_t end = std::min(rest.find_first_of("\r\n", from), rest.size());
        lines += m_status[index].port + ": " + rest.substr(from, end - from) + "\n";
        from = end + 1;
    }
    eraseBlock();
    put(lines);
    if (m_terminal) {
        drawBlock();
    }
}

// On a terminal, the devices' lines below everything else, redrawn in place.
void MultiRun::drawBlock() {
    size_t width = 0;
    for (const DeviceStatus& d : m_status) {
        width = std::max(width, d.port.size());
    }
    std::string text = m_blockLines > 0 ? "\033[" + std::to_string(m_blockLines) + "F" : "";
    for (const DeviceStatus& d : m_status) {
        text += liveLine(d, m_totals, width) + "\033[K\n";
    }
    m_blockLines = static_cast<int>(m_status.size());
    m_dirty = false;
    put(text);
}

// Takes the devices' lines away, so that a message takes their place.
void MultiRun::eraseBlock() {
    if (m_blockLines > 0) {
        put("\033[" + std::to_string(m_blockLines) + "F\033[J");
        m_blockLines = 0;
    }
}

void MultiRun::put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}

} // namespace quill::cli
