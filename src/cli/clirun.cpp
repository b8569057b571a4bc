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
               RecordKeeper& keeper, std::FILE* out, bool offerRetry)
    : m_options(options), m_console(console), m_keeper(keeper), m_out(out),
      m_offerRetry(offerRetry), m_boxes(console, options.yes, options.risks, options.yesAnswer),
      m_view(viewFor(options, console, m_boxes, out)),
      m_runner(options, store, m_boxes, keeper, *m_view) {
    // While the devices' lines are drawn in place, the history's complaint
    // takes their place too.
    if (auto* ports = dynamic_cast<PortsView*>(m_view.get())) {
        m_keeper.setSay([ports](const std::string& text) { ports->say(text); });
    }
}

CliRun::~CliRun() {
    m_keeper.setSay({});
}

const RunReport& CliRun::exec() {
    const RunReport& run = m_runner.exec();
    m_view->finish(run);
    if (m_runner.portNotOpened()) {
        std::string list = portCandidates(detectPorts());
        while (list.ends_with('\n')) {
            list.pop_back();
        }
        m_console.error(list);
    }
    if (m_offerRetry && run.signal == 0 && run.devices.size() > 1 && m_runner.devicesStarted()) {
        retry(run);
    }
    return run;
}

// The command that downloads again to exactly the ports that failed, the
// same firmware held to its SHA-256.
void CliRun::retry(const RunReport& run) {
    CliOptions again = m_options;
    again.ports.clear();
    for (const DeviceReport& d : run.devices) {
        if (d.outcome != Outcome::Complete) {
            again.ports.push_back(d.port);
        }
    }
    if (again.ports.empty()) {
        return;
    }
    if (run.identity.known()) {
        again.expectSha256 = run.identity.sha256;
    }
    const std::string line = text::RetryFailed + commandLine(again) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fflush(m_out);
}

std::string CliRun::json() const {
    const RunReport& run = m_runner.report();
    return m_options.ports.size() > 1 ? portsJson(run, m_console.messages())
                                      : onePortJson(run, m_console.messages());
}

} // namespace quill::cli
