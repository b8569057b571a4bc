// SPDX-License-Identifier: MIT
#include "cli/portcheck.h"

#include "cli/clioptions.h"
#include "cli/clitexts.h"
#include "cli/portlist.h"
#include "qt/netporttexts.h"
#include "qt/networkcomm.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "qt/qtmscomm.h"
#include "rfc2217/porturl.h"

#include <algorithm>
#include <utility>

namespace quill::cli {

namespace {

std::string settingText(const LineConfig& c) {
    static constexpr char letters[] = {'N', 'E', 'O', 'M', 'S'};
    return std::to_string(c.baud) + "," + letters[static_cast<size_t>(c.parity)] + "," +
           std::to_string(c.dataBits) + (c.stopBits == StopBits::One ? ",1" : ",2");
}

std::string pad(std::string text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text + " ";
}

} // namespace

std::vector<LineConfig> checkedSettings() {
    std::vector<LineConfig> list;
    for (const int32_t baud : {9600, 38400}) {
        for (const Parity parity : {Parity::Mark, Parity::Even}) {
            list.push_back({baud, parity, 8, StopBits::One});
        }
    }
    return list;
}

std::string checkReportText(const CheckReport& report) {
    std::string out = text::CheckHeading + report.port + "\n" + pad("setting", 14) +
                      pad("accepted", 10) + "read back\n";
    std::string failed;
    bool markFails = false;
    bool evenFails = false;
    for (const CheckRow& row : report.rows) {
        out += pad(settingText(row.wanted), 14) + pad(row.accepted ? "yes" : "no", 10) +
               row.readBack + (row.refusal.empty() ? "" : "  (" + row.refusal + ")") + "\n";
        if (!row.holds) {
            failed += (failed.empty() ? "" : ", ") + settingText(row.wanted);
            (row.wanted.parity == Parity::Mark ? markFails : evenFails) = true;
        }
    }
    if (report.pseudoTerminal) {
        out += report.port + text::CheckPseudoTerminal;
    }
    if (report.network) {
        out += report.port + text::CheckNetwork;
    }
    if (failed.empty()) {
        return out + text::CheckVerdictGood;
    }
    return out + text::CheckVerdictBadPrefix + failed + ": " +
           (markFails ? text::CheckNeitherWorks : text::CheckTrackerFails);
}

ExitCode checkExitCode(const CheckReport& report) {
    for (const CheckRow& row : report.rows) {
        if (!row.holds) {
            return ExitCode::PortError;
        }
    }
    return report.rows.empty() ? ExitCode::PortError : ExitCode::Complete;
}

std::optional<CheckReport> runPortCheck(const std::string& device, std::string& error) {
    // The serial control opens the port at its own first line, 9600 without
    // parity, which any adapter can do: a setting the adapter then refuses
    // is a row of the table, not a port that cannot be opened.
    QtMSComm port([device](int16_t) { return device; });
    port.setNamedByDevice(true);
    if (const PortStatus status = port.setPortOpen(true)) {
        error = status->text;
        return std::nullopt;
    }
    CheckReport report{device, port.pseudoTerminal(), false, {}};
    for (const LineConfig& wanted : checkedSettings()) {
        CheckRow row;
        row.wanted = wanted;
        const PortStatus status = port.setSettings(settingText(wanted));
        const auto& problem = port.lineProblem();
        row.accepted = !problem || problem->systemError.empty();
        row.refusal = problem ? problem->systemError : std::string{};
        row.holds = !status;
        row.readBack = port.lineReadBack();
        report.rows.push_back(std::move(row));
    }
    port.setPortOpen(false); // the line settings it had before come back
    return report;
}

std::optional<CheckReport> runNetworkPortCheck(const std::string& url, std::string& error) {
    NetworkComm port([url](int16_t) { return url; });
    port.setNamedByDevice(true);
    // A setting that took a new connection says so on its row.
    std::string reconnected;
    port.setNotes([&reconnected](const std::string& note) {
        if (note.ends_with(quill::text::NetNoteReconnect)) {
            reconnected = note;
        }
    });
    CheckReport report{url, false, true, {}};
    for (const LineConfig& wanted : checkedSettings()) {
        CheckRow row;
        row.wanted = wanted;
        // A setting the server does not keep fails the open, and the next
        // setting opens the port afresh.
        PortStatus status = port.setSettings(settingText(wanted));
        if (!status && !port.portOpen()) {
            status = port.setPortOpen(true);
        }
        if (status && report.rows.empty() && port.lineAnswered().empty()) {
            error = status->text;
            return std::nullopt;
        }
        row.accepted = !port.lineAnswered().empty();
        row.refusal = status ? status->text : std::exchange(reconnected, {});
        row.readBack = row.accepted ? port.lineAnswered() : std::string("?");
        row.holds = !status;
        report.rows.push_back(std::move(row));
    }
    port.setPortOpen(false);
    return report;
}

ExitCode checkPort(const std::string& port, const SettingsStore& store, std::FILE* out) {
    const auto com = comNumber(port);
    const std::string device =
        devicePath(com ? defaultPortResolver(store)(static_cast<int16_t>(*com)) : port);
    std::string error;
    const bool network = rfc2217::isNetworkPortName(device);
    const auto report = network ? runNetworkPortCheck(device, error) : runPortCheck(device, error);
    if (!report) {
        // In the words of a download that cannot open the port; CR joins
        // the lines of one message.
        std::replace(error.begin(), error.end(), '\r', '\n');
        std::fprintf(stderr, "%s: %s\n", text::ProgramName, error.c_str());
        if (!network) {
            std::fputs(portCandidates(detectPorts()).c_str(), stderr);
        }
        return ExitCode::PortError;
    }
    std::fputs(checkReportText(*report).c_str(), out);
    return checkExitCode(*report);
}

} // namespace quill::cli
