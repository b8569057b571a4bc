// SPDX-License-Identifier: MIT
#include "cli/repeatrun.h"

#include "cli/clirun.h"
#include "cli/clitexts.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace quill::cli {

namespace {

const std::vector<DeviceReport> noDevices;

// Rounds that would end alike whatever device is connected: the command
// line, the file, the history, a work order with all its units.
bool endsTheLoop(ExitCode code) {
    return code == ExitCode::Usage || code == ExitCode::FileError || code == ExitCode::BadRecord ||
           code == ExitCode::HistoryFailed || code == ExitCode::OrderComplete;
}

} // namespace

RepeatRun::RepeatRun(const CliOptions& options, SettingsStore& store, Console& console,
                     RecordKeeper& keeper, events::EventWriter* events)
    : m_options(options), m_store(store), m_console(console), m_keeper(keeper), m_events(events) {
    m_outcomes.emplace_back(Outcome::Complete, 0);
}

int RepeatRun::exec() {
    ExitCode worst = ExitCode::Complete;
    for (int round = 1; !m_options.maxUnits || m_complete < *m_options.maxUnits; ++round) {
        m_console.note(text::Round + std::to_string(round) +
                       (round > 1 ? ", so far " + tally(m_outcomes) : std::string()));
        if (!nextDevice()) {
            break;
        }
        const ExitCode code = this->round(round);
        worst = std::max(worst, code, [](ExitCode a, ExitCode b) { return toInt(a) < toInt(b); });
        if (m_signal != 0 || endsTheLoop(code)) {
            break;
        }
    }
    m_console.note(unitsSaid(unitYield(m_units)).line());
    m_console.note(tally(m_outcomes));
    return m_signal != 0 ? exitStatus(ExitCode::Interrupted, m_signal) : toInt(worst);
}

// A run of its own, on a console of its own (its messages and its failure
// are the round's), whose Manual prompt the Enter has answered.
ExitCode RepeatRun::round(int number) {
    CliOptions o = m_options;
    o.yes = true;
    o.yesAnswer = text::PromptAnsweredByEnter;
    o.logPath = roundPath(o.logPath, number);
    o.unit = number;
    Console console(stderr, m_console.terminal(), m_options.quiet);
    CliRun run(o, m_store, console, m_keeper, stderr, false, m_events);
    m_stopRound = [&run](int signal) { run.interrupt(signal); };
    const RunReport& report = run.exec();
    m_stopRound = nullptr;
    for (const DeviceReport& d : report.devices) {
        m_units.push_back({d.unitKey, d.attemptNo, d.outcome.value_or(report.outcome), 0});
    }
    // Devices refused before they began (a bad file) are no units.
    for (const DeviceReport& unit : run.devicesStarted() ? report.devices : noDevices) {
        const Outcome outcome = unit.outcome.value_or(report.outcome);
        if (!unitTouched(outcome)) {
            continue;
        }
        m_complete += outcome == Outcome::Complete ? 1 : 0;
        const auto counted = std::find_if(m_outcomes.begin(), m_outcomes.end(),
                                          [&](const auto& o) { return o.first == outcome; });
        if (counted == m_outcomes.end()) {
            m_outcomes.emplace_back(outcome, 1);
        } else {
            ++counted->second;
        }
    }
    return report.code;
}

// The next line of standard input, a terminal or a script. It is read from
// an event loop, so that a signal still ends the wait; false at the end of
// the input.
bool RepeatRun::nextDevice() {
    m_console.ask(std::string(text::NextDevice) + ' ');
    QEventLoop loop;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    bool ended = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            return;
        }
        if (n > 0) {
            m_input.append(buffer, size_t(n));
        }
        ended = n <= 0;
        if (ended || m_input.find('\n') != std::string::npos) {
            notifier.setEnabled(false);
            loop.quit();
        }
    });
    if (m_input.find('\n') == std::string::npos && m_signal == 0) {
        m_waiting = &loop;
        loop.exec();
        m_waiting = nullptr;
    }
    const size_t line = m_input.find('\n');
    // A terminal has shown the Enter; a script's answers are not echoed.
    if (line == std::string::npos || m_signal != 0 || ::isatty(STDIN_FILENO) == 0) {
        m_console.endLine();
    }
    if (line == std::string::npos || m_signal != 0) {
        return false;
    }
    m_input.erase(0, line + 1);
    return true;
}

void RepeatRun::interrupt(int signal) {
    if (m_signal == 0) {
        m_signal = signal;
    }
    if (m_stopRound) {
        m_stopRound(signal);
    }
    if (m_waiting != nullptr) {
        m_waiting->quit();
    }
}

std::string RepeatRun::tally(const std::vector<std::pair<Outcome, int>>& outcomes) {
    int units = 0;
    std::string ways;
    for (const auto& [outcome, count] : outcomes) {
        units += count;
        if (count > 0) {
            ways += (ways.empty() ? ": " : ", ") + std::to_string(count) + " " +
                    std::string(outcomeWords(outcome));
        }
    }
    return std::to_string(units) + (units == 1 ? " unit" : " units") + ways;
}

std::string RepeatRun::roundPath(const std::string& path, int round) {
    if (path.empty()) {
        return path;
    }
    const size_t name = path.find_last_of('/') + 1; // 0 when there is no folder
    const size_t dot = path.find_last_of('.');
    const size_t at = dot != std::string::npos && dot > name ? dot : path.size();
    return path.substr(0, at) + "-" + std::to_string(round) + path.substr(at);
}

} // namespace quill::cli
