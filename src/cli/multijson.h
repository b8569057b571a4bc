// SPDX-License-Identifier: MIT
#pragma once
// --json on several ports: one JSON object on standard output when the run
// ends. Its fields are those of a single port's result, for the run as a
// whole, then "devices": one result per port, in port order, each as a
// single port's.

#include "cli/jsonresult.h"

#include <string>
#include <vector>

namespace quill::cli {

std::string multiRunJson(const RunResult& run, const std::vector<RunResult>& devices);

} // namespace quill::cli
