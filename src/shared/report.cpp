// SPDX-License-Identifier: MIT
#include "shared/report.h"

#include "shared/module1.h"

#include <algorithm>

namespace quill {

std::string keptMessage(std::string text) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    while (text.ends_with('\n')) {
        text.pop_back();
    }
    return text;
}

void DeviceReport::addMessage(std::string text) {
    messages.push_back(keptMessage(std::move(text)));
}

const std::string& DeviceReport::lastMessage() const {
    static const std::string none;
    return messages.empty() ? none : messages.back();
}

const char* deviceKindName(std::optional<int16_t> deviceType) {
    if (!deviceType) {
        return "";
    }
    switch (*deviceType) {
    case device_manual:
        return "manual";
    case device_tracker:
        return "tracker";
    default:
        return "other";
    }
}

void judgeRun(RunReport& run) {
    std::optional<Outcome> first;
    for (const DeviceReport& d : run.devices) {
        const Outcome o = d.outcome.value_or(Outcome::Failure);
        if (o == Outcome::Complete) {
            continue;
        }
        if (!first) {
            first = o;
        } else if (exitCodeOf(*first) != exitCodeOf(o)) {
            run.outcome = Outcome::DevicesDiffer;
            run.code = ExitCode::DevicesDiffer;
            return;
        }
    }
    run.outcome = first.value_or(Outcome::Complete);
    run.code = exitCodeOf(run.outcome);
}

} // namespace quill
