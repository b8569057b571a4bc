// SPDX-License-Identifier: MIT
#include "cli/multijson.h"

namespace quill::cli {

std::string multiRunJson(const RunResult& run, const std::vector<RunResult>& devices) {
    // The run's own object, opened again after its last member.
    std::string out = jsonObject(run);
    out.erase(out.rfind('}'));
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    out += ",\n  \"devices\": [";
    for (size_t i = 0; i < devices.size(); ++i) {
        out += (i == 0 ? "\n" : ",\n") + jsonObject(devices[i], 4);
    }
    return out + (devices.empty() ? "]\n}" : "\n  ]\n}");
}

} // namespace quill::cli
