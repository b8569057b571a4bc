// SPDX-License-Identifier: MIT
#include "cli/clirun.h"

#include "cli/clitexts.h"
#include "cli/jsonresult.h"
#include "cli/portlist.h"
#include "cli/portsview.h"
#include "qt/portscan.h"

namespace quill::cli {

namespace {

std::unique_ptr<ConsoleView> viewFor(const CliOptions& o, Console& console, CliMessageBoxes& boxes,
                                     std::FILE* out) {
    if (o.ports.size() > 1) {
        return std::make_unique<PortsView>(console, boxes, o.yes, o.quiet, out);
    }
    return std::make_unique<OnePortView>(console, boxes, o.yes);
}

} // namespace

CliRun::CliRun(const CliOptions& options, const SettingsStore& store, Console& console,
               RecordKeeper& keeper, std::FILE* out, bool offerRetry, events::EventWriter* events)
    : m_options(options), m_console(console), m_keeper(keeper), m_out(out),
      m_offerRetry(offerRetry), m_boxes(console, options.yes, options.risks, options.yesAnswer),
      m_view(viewFor(options, console, m_boxes, out)), m_events(events),
      m_eventsView(events != nullptr ? std::make_unique<events::EventsView>(*m_view, *events)
                                     : nullptr),
      m_runner(options, store, m_boxes, keeper,
               m_eventsView ? static_cast<RunnerView&>(*m_eventsView) : *m_view) {
    // While the devices' lines are drawn in place, the history's complaint
    // takes their place too.
    auto* ports = dynamic_cast<PortsView*>(m_view.get());
    if (ports != nullptr || m_events != nullptr) {
        m_keeper.setSay([this, ports](const std::string& text) {
            ports != nullptr ? ports->say(text) : m_console.error(text);
            if (m_events != nullptr) {
                m_events->message(text);
            }
        });
    }
    if (m_events != nullptr) {
        m_boxes.setShown([this](const std::string& text) { m_events->message(text); });
    }
}

CliRun::~CliRun() {
    m_keeper.setSay({});
}

const RunReport& CliRun::exec() {
    const RunReport& run = m_runner.exec();
    if (m_events != nullptr) {
        m_events->roundEnded(run);
    }
    m_view->finish(run);
    if (m_runner.portNotOpened()) {
        std::string list = portCandidates(detectPorts());
        while (list.ends_with('\n')) {
            list.pop_back();
        }
        m_console.error(list);
    }
    if (m_offerRetry && run.signal == 0 && run.devices.size() > 1 && m_runner.devicesStarted()) {
        m_retry = retryCommand(run);
    }
    if (!m_retry.empty()) {
        const std::string line = text::RetryFailed + m_retry + "\n";
        std::fwrite(line.data(), 1, line.size(), m_out);
        std::fflush(m_out);
    }
    return run;
}

// The command that downloads again to exactly the ports that failed, the
// same firmware held to its SHA-256; empty when none failed.
std::string CliRun::retryCommand(const RunReport& run) const {
    CliOptions again = m_options;
    again.ports.clear();
    for (const DeviceReport& d : run.devices) {
        if (d.outcome != Outcome::Complete) {
            again.ports.push_back(d.port);
        }
    }
    if (again.ports.empty()) {
        return {};
    }
    if (run.identity.known()) {
        again.expectSha256 = run.identity.sha256;
    }
    return commandLine(again);
}

std::string CliRun::json() const {
    const RunReport& run = m_runner.report();
    return m_options.ports.size() > 1 ? portsJson(run, m_console.messages())
                                      : onePortJson(run, m_console.messages());
}

} // namespace quill::cli
