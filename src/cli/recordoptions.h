// SPDX-License-Identifier: MIT
#pragma once
// The options of the history and of each unit's serial number, read into
// the run's options beside the download's own (clioptions.cpp).

#include "cli/clioptions.h"
#include "cmdline/commandline.h"

namespace quill::cli {

struct RecordOptions {
    CLI::Option *historyUrl, *operatorName, *requireHistory, *expect, *repeat, *maxUnits, *batch,
        *history, *since, *outcome, *shaPrefix, *csv, *yield, *by;
};

// The history, the firmware's identity and unit after unit.
void readRecordOptions(cmdline::CommandLine& cl, CliOptions& o, const RecordOptions& r);

struct SerialOptions {
    CLI::Option *at, *size, *format, *series, *start, *list, *value;
};

// A number of each unit's own: where, how big, in which form, from which counter.
void readSerialOptions(cmdline::CommandLine& cl, CliOptions& o, const SerialOptions& s);

} // namespace quill::cli
