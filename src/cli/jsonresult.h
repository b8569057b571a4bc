// SPDX-License-Identifier: MIT
#pragma once
// The result of a run for machines: one JSON object with how the download
// ended, the exit code, the port, the counts and the messages. No JSON
// library: the writer below is all quill-cli needs. Texts are bytes (file
// and device names need not be UTF-8); what is valid UTF-8 is written as it
// stands, and every byte that is not part of valid UTF-8 is written as the
// escape \u00XX of that byte, so the output is always valid JSON and the
// byte can still be read off it.
//
// A run over several ports writes one object per device inside its own, as
// the member "devices" (multijson.h).

#include "run/runresult.h"

#include <string>
#include <string_view>

namespace quill::cli {

// The result as a JSON object over several lines, without a line end after
// it; `indent` spaces before each of its lines.
std::string jsonObject(const RunResult& result, int indent = 0);

} // namespace quill::cli
