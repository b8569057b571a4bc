// SPDX-License-Identifier: MIT
// A run on several ports, as the user reads it: the one exit code of the
// run, the name of each device's trace, and the lines and table shown.

#include "cli/multitable.h"
#include "runner/runplan.h"

#include <gtest/gtest.h>

namespace quill::cli {
namespace {

using enum Outcome;

// The first failure's code when all failures agree on it, else DevicesDiffer.
TEST(JudgeRun, FirstFailureWhenAllAgreeElseDevicesDiffer) {
    const std::pair<std::vector<Outcome>, Outcome> table[] = {
        {{Complete, Complete, Complete}, Complete},
        {{Complete, PortFailure, Complete}, PortFailure},
        {{PortFailure, Complete, PortFailure}, PortFailure},
        {{Complete, PortFailure, NoEraseAnswer}, DevicesDiffer},
        {{Interrupted, Complete}, Interrupted},
        {{BadRecord, FileChanged}, BadRecord}, // both not whole firmware: one exit code
        {{}, Complete},
    };
    for (const auto& [devices, outcome] : table) {
        RunReport run;
        for (const Outcome o : devices) {
            run.devices.emplace_back().outcome = o;
        }
        judgeRun(run);
        EXPECT_EQ(std::pair(run.outcome, run.code), std::pair(outcome, exitCodeOf(outcome)))
            << testing::PrintToString(devices);
    }
}

TEST(TraceFileName, IsMadeFromThePort) {
    const std::pair<const char*, const char*> table[] = {
        {"/dev/ttyUSB0", "dev_ttyUSB0.log"},
        {"/dev/serial/by-id/usb-FTDI_A5-if00-port0", "dev_serial_by-id_usb-FTDI_A5-if00-port0.log"},
        {"COM2", "COM2.log"},
        {"//", "port.log"},
    };
    for (const auto& [port, name] : table) {
        EXPECT_EQ(traceFileName(port), name) << port;
    }
}

DeviceReport device(std::string port, std::optional<Outcome> outcome) {
    DeviceReport d;
    d.port = std::move(port);
    d.totals = {48, 768};
    d.progress = {"Programming Flash ...", 12, 192, 25, 2.0, 96.0, {}};
    d.outcome = outcome;
    return d;
}

TEST(MultiLines, SayPortProgressAndOutcome) {
    const std::pair<std::string, std::string> table[] = {
        {progressLine(device("/dev/ttyUSB0", {})),
         "/dev/ttyUSB0: 25%, 12/48 records, 192/768 data bytes, 2.0 s, 96 B/s"},
        {progressLine(device("COM2", PortFailure)),
         "COM2: port error, 12/48 records, 192/768 data bytes, 2.0 s, 96 B/s"},
        {liveLine(device("COM2", {}), 12),
         "COM2          Programming Flash ...      12/48 records  25%  96 B/s"},
        {liveLine(device("/dev/ttyUSB10", Complete), 13),
         "/dev/ttyUSB10  complete                  12/48 records  25%  96 B/s"},
    };
    for (const auto& [got, expected] : table) {
        EXPECT_EQ(got, expected);
    }
    DeviceReport starting = device("COM1", {});
    starting.progress.rate.reset();
    EXPECT_TRUE(progressLine(starting).ends_with(", - B/s")); // no rate out of nothing
}

TEST(MultiLines, FinalTableHasOneRowPerPortInOrder) {
    std::vector<DeviceReport> devices{device("/dev/ttyUSB0", Complete), device("COM2", IdleTimeout),
                                      device("/dev/ttyUSB1", Interrupted)};
    devices[0].progress.records = 48;
    devices[0].progress.dataBytes = 768;
    EXPECT_EQ(finalTable(devices),
              "port          outcome                 records         data bytes  seconds\n"
              "/dev/ttyUSB0  complete                  48/48            768/768      2.0\n"
              "COM2          silent                    12/48            192/768      2.0\n"
              "/dev/ttyUSB1  interrupted               12/48            192/768      2.0\n");
}

} // namespace
} // namespace quill::cli
