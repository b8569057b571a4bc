// SPDX-License-Identifier: MIT
#include "runner/runner.h"

#include "download/downloadtexts.h"
#include "hexfile/filecheck.h"
#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/stdhexfile.h"
#include "rfc2217/porturl.h"
#include "run/runtexts.h"
#include "runner/reciperun.h"
#include "runner/runnertexts.h"

#include "history/historylocation.h"
#include "unitserial/patchedhexfile.h"
#include "unitserial/seriallist.h"
#include "unitserial/serialtexts.h"

#include <QMetaObject>

#include <chrono>
#include <cstdio>

namespace quill {

Runner::Runner(const RunRequest& request, const SettingsStore& settings, MessageBoxes& boxes,
               RecordKeeper& keeper, RunnerView& view)
    : m_request(request), m_settings(settings), m_boxes(boxes), m_keeper(keeper), m_view(view) {}

Runner::~Runner() {
    for (auto& thread : m_threads) {
        thread->requestStop();
    }
    m_threads.clear(); // each waits for its thread
}

const RunReport& Runner::exec() {
    // What a recipe fixes is known before anything is planned.
    if (const auto refused = takeRecipe()) {
        m_report.outcome = *refused;
        m_report.code = exitCodeOf(*refused);
        return m_report;
    }
    m_plan = planRun(m_request, m_settings);
    for (DeviceSetup& s : m_plan.devices) {
        s.firmware = m_firmware;
        DeviceReport d;
        d.port = s.port;
        d.devicePath = s.devicePath;
        d.baud = s.baud;
        d.deviceType = s.deviceType;
        d.file = s.file;
        d.traceFile = s.tracePath;
        d.batch = m_request.batch;
        d.unit = m_request.unit;
        d.recipe = m_recipe ? m_recipe->id() : std::string();
        d.workOrder = m_request.workOrder;
        // A unit carried on keeps its key and what was drawn for it.
        const size_t i = m_report.devices.size();
        const UnitCarry* carry = i < m_request.units.size() && !m_request.units[i].unitKey.empty()
                                     ? &m_request.units[i]
                                     : nullptr;
        d.unitKey = carry ? carry->unitKey : newAttemptKey();
        m_attemptsMade.push_back(carry ? carry->attemptsMade : 0);
        if (carry) {
            d.serial = carry->serial;
            d.serialBytes = carry->serialBytes;
        }
        m_report.devices.push_back(std::move(d));
    }
    if (m_plan.deviceType == device_manual) {
        if (const std::string problem = m_view.promptProblem(); !problem.empty()) {
            m_plan.problems.push_back(problem);
        }
    }
    if (m_request.serial.wanted() && !readSerialList()) {
        // said by readSerialList
    }
    if (!m_plan.problems.empty()) {
        for (const std::string& problem : m_plan.problems) {
            say(problem, RunnerView::Said::Problem);
        }
        m_report.outcome = Outcome::Usage;
        m_report.code = ExitCode::Usage;
        return m_report;
    }
    m_rows.resize(m_report.devices.size());
    m_recorded.resize(m_report.devices.size());
    m_placeHeld.resize(m_report.devices.size());
    const std::optional<Outcome> stopped = run();
    if (stopped == Outcome::Usage) {
        m_report.outcome = Outcome::Usage;
        m_report.code = ExitCode::Usage;
        return m_report; // nothing was attempted
    }
    if (stopped) {
        m_report.outcome = *stopped;
        m_report.code = exitCodeOf(*stopped);
    } else {
        judgeRun(m_report);
    }
    if (m_endNotRecorded && m_report.code == ExitCode::Complete) {
        m_report.outcome = Outcome::HistoryFailed;
        m_report.code = ExitCode::HistoryFailed;
    }
    if (m_report.signal != 0) {
        m_report.outcome = Outcome::Interrupted;
        m_report.code = ExitCode::Interrupted;
    }
    // The devices that never began end as the run did; their rows too.
    for (size_t i = 0; i < m_report.devices.size(); ++i) {
        DeviceReport& d = m_report.devices[i];
        if (!d.ended()) {
            d.outcome = m_report.outcome;
            if (d.messages.empty() && !m_report.messages.empty()) {
                d.messages.push_back(m_report.messages.back()); // the run's, said for all
            }
        }
        if (!m_recorded[i]) {
            m_rows[i] ? m_keeper.end(*m_rows[i], d) : m_keeper.refused(d);
            m_recorded[i] = true;
        }
        settlePlace(i);
    }
    return m_report;
}

// Everything before the devices start, then the devices; an outcome when
// the run ended before they could start.
std::optional<Outcome> Runner::run() {
    if (const auto full = checkOrder()) {
        return full;
    }
    if (const auto refused = checkFile()) {
        return refused;
    }
    if (!makeTraceFiles()) {
        return Outcome::Usage;
    }
    if (const auto noHistory = drawSerials()) {
        return noHistory;
    }
    if (const auto notStarted = prompt()) {
        return notStarted;
    }
    for (size_t i = 0; i < m_report.devices.size(); ++i) {
        DeviceReport& d = m_report.devices[i];
        if (const auto unusable = prepareSerial(i)) {
            d.outcome = unusable; // ends here, before the device hears a byte
        }
        const bool carried = i < m_request.units.size() && !m_request.units[i].unitKey.empty();
        m_rows[i] = m_keeper.begin(d, carried ? m_request.units[i].batchUnit : std::nullopt);
    }
    // On record means on this station's disk at least; the keeper says
    // why when even that failed.
    if (m_request.requireHistory) {
        for (const auto& row : m_rows) {
            if (!m_keeper.onRecord(*row)) {
                if (const int signal = m_keeper.signalled()) {
                    interrupt(signal); // it ended the wait
                    return Outcome::Interrupted;
                }
                m_report.messages.push_back(keptMessage(text::HistoryRequired));
                return Outcome::HistoryFailed;
            }
        }
    }
    if (m_report.signal != 0) {
        return Outcome::Interrupted;
    }
    startDevices();
    m_loop.exec();
    for (auto& thread : m_threads) {
        thread->wait();
    }
    return std::nullopt;
}

// The one reading of the file before any port is touched: what is not
// whole firmware is refused for every device, and the file's SHA-256 is of
// the very bytes checked. Each device's own check is then held to it.
std::optional<Outcome> Runner::checkFile() {
    Module1 m;
    StdHexFile disk;
    if (m_firmware) {
        disk.readFrom(m_firmware);
    }
    // With a unit's number to write, the same pass notes where the file
    // holds data for it.
    const SerialRequest& serial = m_request.serial;
    std::optional<PatchedHexFile> patched;
    if (serial.wanted()) {
        patched.emplace(disk, *serial.address, serial.size);
    }
    HexFileSource& file = patched ? static_cast<HexFileSource&>(*patched) : disk;
    open_hex_file(m, file, m_boxes, m_request.file);
    if (!m.hex_file_open) {
        m_report.messages.push_back(keptMessage(text::OpenFileError)); // shown by the boxes
        return Outcome::FileError;
    }
    std::string line;
    FileCheck check = checkHexFile(file, m.hex_table, line);
    file.close();
    // A blank record that holds a part of the number is sent with it.
    if (patched) {
        check.totals.records += patched->blankHeld().records;
        check.totals.dataBytes += patched->blankHeld().dataBytes;
    }
    m_report.identity = check.identity;
    m_report.totals = check.totals;
    for (DeviceReport& d : m_report.devices) {
        d.identity = check.identity;
        d.totals = check.totals;
    }
    if (check.identity.known()) {
        say(firmwareLine(m_request.file, check.identity), RunnerView::Said::Note);
        if (!m_request.expectSha256.empty() && m_request.expectSha256 != check.identity.sha256) {
            show(std::string(text::NotExpectedFirmware) + '\r' + text::ExpectedSha256 +
                 m_request.expectSha256 + '\r' + text::FileSha256 + check.identity.sha256);
            return Outcome::UnexpectedFirmware;
        }
    }
    // The same question the download asks; each device will ask it again
    // and get the same answer.
    const auto askedAbout = [&](const char* question, DownloadEnd refusedAs) {
        const bool accepted = m_boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None,
                                             MsgResult::Cancel) == MsgResult::Ok;
        return accepted ? std::nullopt : std::optional<Outcome>(outcomeOf(refusedAs));
    };
    if (patched && check.verdict != FileVerdict::Refused) {
        if (const auto missing = patched->firstMissing()) {
            const bool late = patched->heldAfterEnd(*missing);
            show((late ? text::SerialAfterEnd : text::SerialNoData) + addressText(*missing) +
                 (late ? text::SerialAfterEndEnd : text::SerialNoDataEnd));
            return Outcome::SerialUnusable;
        }
    }
    switch (check.verdict) {
    case FileVerdict::Refused:
        show(refusalText(check));
        return outcomeOf(check.end);
    case FileVerdict::NoEndRecord:
        return askedAbout(text::NoEndRecord, DownloadEnd::NoEndRecord);
    case FileVerdict::RecordsAfterEnd:
        return askedAbout(text::RecordsAfterEnd, DownloadEnd::RecordsAfterEnd);
    case FileVerdict::Whole:
        break;
    }
    return std::nullopt;
}

// The traces, made before any port is touched; a trace that cannot be
// made stops the run here.
bool Runner::makeTraceFiles() {
    for (DeviceSetup& setup : m_plan.devices) {
        if (setup.tracePath.empty()) {
            continue;
        }
        std::string error;
        setup.traceFile =
            TraceFile::create(setup.tracePath, m_request.program, error, traceAbout());
        if (!setup.traceFile) {
            say(text::LogNotCreated + setup.tracePath + " (" + error + ")",
                RunnerView::Said::Problem);
            return false;
        }
    }
    return true;
}

// What a trace's header says of the run beside the program: the recipe and
// the work order.
std::string Runner::traceAbout() const {
    std::string about = m_recipe ? recipeFileName(*m_recipe) : std::string();
    if (m_order) {
        about += text::TraceWorkOrder + m_order->name;
    }
    return about;
}

// The Manual prompt, once for every device.
std::optional<Outcome> Runner::prompt() {
    if (m_plan.deviceType != device_manual) {
        return std::nullopt;
    }
    const size_t n = m_plan.devices.size();
    const std::string question =
        (n == 1 ? std::string(text::PrepareDevice)
                : text::PrepareDevicesPrefix + std::to_string(n) + text::PrepareDevicesMiddle) +
        std::to_string(m_plan.baud) + '\r';
    if (m_boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None, MsgResult::Ok) ==
        MsgResult::Ok) {
        return std::nullopt;
    }
    if (m_report.signal != 0) {
        return Outcome::Interrupted;
    }
    say(text::NotStarted, RunnerView::Said::Message);
    return Outcome::Cancelled;
}

void Runner::startDevices() {
    m_view.devicesStarting(m_report);
    const std::string heldTo = m_report.identity.sha256;
    m_threadOf.assign(m_plan.devices.size(), nullptr);
    for (size_t i = 0; i < m_plan.devices.size(); ++i) {
        if (m_report.devices[i].ended()) { // its number could not go into its image
            DeviceEvent ended;
            ended.kind = DeviceEvent::Kind::Ended;
            ended.failed = true;
            ended.outcome = m_report.devices[i].outcome;
            m_main.post([this, i, ended] { onEvent(i, ended); });
            continue;
        }
        auto post = [this, i](DeviceEvent event) {
            m_main.post([this, i, event = std::move(event)] { onEvent(i, event); });
        };
        auto ask = [this, i](DeviceThread::Answer answer) {
            m_main.post([this, i, answer = std::move(answer)] { answer(drawNumbers(i)); });
        };
        auto askPlace = [this, i](DeviceThread::PlaceAnswer answer) {
            m_main.post([this, i, answer = std::move(answer)] { answer(takePlace(i)); });
        };
        m_threads.push_back(std::make_unique<DeviceThread>(
            m_plan.devices[i], heldTo, post,
            m_plan.devices[i].serialOnAnswer ? DeviceThread::Ask(ask) : DeviceThread::Ask(),
            m_order ? DeviceThread::PlaceAsk(askPlace) : DeviceThread::PlaceAsk()));
        m_threadOf[i] = m_threads.back().get();
    }
    for (auto& thread : m_threads) {
        thread->start();
    }
}

void Runner::refuseUnit(size_t index, const std::string& why) {
    DeviceEvent said;
    said.text = why;
    said.failed = true;
    said.progress = m_report.devices[index].progress;
    onEvent(index, said);
}

void Runner::onEvent(size_t index, const DeviceEvent& event) {
    DeviceReport& d = m_report.devices[index];
    d.progress = event.progress;
    if (event.kind == DeviceEvent::Kind::Message) {
        d.addMessage(event.text);
    }
    if (event.kind == DeviceEvent::Kind::Reached && !d.attemptNo) {
        d.attemptNo = m_attemptsMade[index] + 1;
        m_keeper.reached(*m_rows[index], d);
    }
    if (event.kind == DeviceEvent::Kind::Ended) {
        d.outcome = event.outcome.value_or(Outcome::Failure);
        // Local serial ports are no help with a port on the network.
        m_portNotOpened =
            m_portNotOpened || (event.openFailed && !rfc2217::isNetworkPortName(d.devicePath));
        m_keeper.end(*m_rows[index], d);
        m_recorded[index] = true;
        settlePlace(index);
        m_endNotRecorded =
            m_endNotRecorded || (m_request.requireHistory && !m_keeper.onRecord(*m_rows[index]));
    }
    m_view.deviceEvent(index, event, d);
    if (event.kind == DeviceEvent::Kind::Ended && ++m_ended == m_report.devices.size()) {
        m_loop.quit();
    }
}

void Runner::interrupt(int signal) {
    if (m_report.signal == 0) {
        m_report.signal = signal;
        say(text::Interrupted, RunnerView::Said::Error);
    }
    m_view.stopAsking();
    for (auto& thread : m_threads) {
        thread->requestStop();
    }
}

void Runner::stopDevice(size_t index) {
    if (index < m_threadOf.size() && m_threadOf[index] != nullptr &&
        !m_report.devices[index].ended()) {
        m_threadOf[index]->requestStop();
    }
}

// A message of the run's own, shown as the download shows its messages.
void Runner::show(const std::string& text) {
    m_report.messages.push_back(keptMessage(text));
    m_boxes.MsgBox(text);
}

void Runner::say(const std::string& text, RunnerView::Said how) {
    if (how == RunnerView::Said::Message || how == RunnerView::Said::Error) {
        m_report.messages.push_back(keptMessage(text));
    }
    m_view.runSaid(text, how);
}

} // namespace quill
