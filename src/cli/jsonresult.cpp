// SPDX-License-Identifier: MIT
#include "cli/jsonresult.h"

#include "history/unityield.h"
#include "shared/utf8text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quill::cli {

namespace {

void member(std::string& out, const std::string& pad, std::string_view name,
            const std::string& value, bool last = false) {
    out += pad + "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
}

std::string textOrNull(std::string_view text) {
    return text.empty() ? "null" : jsonString(text);
}

} // namespace

std::string jsonObject(const DeviceReport& d, int exitCode,
                       const std::vector<std::string>& messages, int indent) {
    const std::string pad(static_cast<size_t>(std::max(indent, 0)), ' ');
    const double s = d.progress.seconds;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", std::isfinite(s) ? s : 0.0);
    std::string out = pad + "{\n";
    member(out, pad, "outcome", jsonString(outcomeName(d.outcome.value_or(Outcome::Failure))));
    member(out, pad, "exit_code", std::to_string(exitCode));
    member(out, pad, "port", textOrNull(d.port));
    member(out, pad, "device_path", textOrNull(d.devicePath));
    member(out, pad, "baud", d.baud ? std::to_string(*d.baud) : "null");
    member(out, pad, "device", textOrNull(deviceKindName(d.deviceType)));
    member(out, pad, "file_sha256", textOrNull(d.identity.sha256));
    member(out, pad, "records_sent", std::to_string(d.progress.records));
    member(out, pad, "records_total", std::to_string(d.totals.records));
    member(out, pad, "data_bytes_sent", std::to_string(d.progress.dataBytes));
    member(out, pad, "data_bytes_total", std::to_string(d.totals.dataBytes));
    member(out, pad, "seconds", seconds);
    member(out, pad, "serial", textOrNull(d.serial));
    member(out, pad, "unit_key", textOrNull(d.unitKey));
    member(out, pad, "attempt", d.attemptNo ? std::to_string(*d.attemptNo) : "null");
    member(out, pad, "recipe", textOrNull(d.recipe));
    member(out, pad, "work_order", textOrNull(d.workOrder));
    std::string list = "[";
    for (size_t i = 0; i < messages.size(); ++i) {
        list += (i == 0 ? "\n" : ",\n") + pad + "    " + jsonString(messages[i]);
    }
    list += messages.empty() ? "]" : "\n" + pad + "  ]";
    member(out, pad, "messages", list, true);
    return out + pad + "}";
}

std::string onePortJson(const RunReport& run, const std::vector<std::string>& messages) {
    DeviceReport device = run.devices.empty() ? DeviceReport{} : run.devices.front();
    device.outcome = device.outcome.value_or(run.outcome);
    return jsonObject(device, run.status(), messages);
}

std::string portsJson(const RunReport& run, const std::vector<std::string>& messages) {
    DeviceReport whole;
    whole.outcome = run.outcome;
    whole.identity = run.identity;
    if (!run.devices.empty()) {
        whole.baud = run.devices.front().baud;
        whole.deviceType = run.devices.front().deviceType;
    }
    for (const DeviceReport& d : run.devices) {
        whole.progress.records += d.progress.records;
        whole.totals.records += d.totals.records;
        whole.progress.dataBytes += d.progress.dataBytes;
        whole.totals.dataBytes += d.totals.dataBytes;
        whole.progress.seconds = std::max(whole.progress.seconds, d.progress.seconds);
    }
    // The run's own object, opened again after its last member.
    std::string out = jsonObject(whole, run.status(), messages);
    out.erase(out.rfind('}'));
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    // Each port is a unit of its own: their yield, as unityield.h counts it.
    std::vector<UnitRow> units;
    for (const DeviceReport& d : run.devices) {
        units.push_back({d.unitKey, d.attemptNo, d.outcome.value_or(run.outcome), 0});
    }
    const UnitYield yield = unitYield(units);
    out += ",\n  \"units\": " + std::to_string(yield.units) +
           ",\n  \"first_pass\": " + std::to_string(yield.firstPass) +
           ",\n  \"final\": " + std::to_string(yield.final);
    out += ",\n  \"devices\": [";
    for (size_t i = 0; i < run.devices.size(); ++i) {
        const DeviceReport& d = run.devices[i];
        out += (i == 0 ? "\n" : ",\n") +
               jsonObject(d, toInt(exitCodeOf(d.outcome.value_or(run.outcome))), d.messages, 4);
    }
    return out + (run.devices.empty() ? "]\n}" : "\n  ]\n}");
}

std::string usageJson(const std::string& problems) {
    RunReport run;
    run.outcome = Outcome::Usage;
    run.code = ExitCode::Usage;
    std::vector<std::string> lines;
    for (size_t at = 0; at < problems.size();) {
        const size_t end = std::min(problems.find('\n', at), problems.size());
        lines.push_back(problems.substr(at, end - at));
        at = end + 1;
    }
    return onePortJson(run, lines);
}

} // namespace quill::cli
