// SPDX-License-Identifier: MIT
// A run on several ports, as the user reads it: the one exit code of the
// run, the name of each device's trace, and the lines and table shown.

#include "cli/multitable.h"

#include <gtest/gtest.h>

namespace quill::cli {
namespace {

using enum ExitCode;

TEST(AggregateExitCode, FirstFailureWhenAllAgreeElseDevicesDiffer) {
    const struct {
        std::vector<ExitCode> devices;
        ExitCode run;
    } table[] = {
        {{Complete, Complete, Complete}, Complete},
        {{Complete, PortError, Complete}, PortError},
        {{PortError, Complete, PortError}, PortError},
        {{Complete, PortError, NoEraseAnswer}, DevicesDiffer},
        {{Interrupted, Complete}, Interrupted},
        {{TrackerHandshake}, TrackerHandshake},
        {{}, Complete},
    };
    for (const auto& [devices, run] : table) {
        EXPECT_EQ(aggregateExitCode(devices), run) << testing::PrintToString(devices);
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

DeviceStatus device(std::string port, bool ended, ExitCode code) {
    // Port, phase, records, data bytes, percent, seconds, rate, ended, code, outcome.
    return {std::move(port), "Programming Flash ...", 12, 192, 25, 2.0, 96.0, ended, code, ""};
}

const FileTotals totals{48, 768};

TEST(MultiLines, SayPortProgressAndOutcome) {
    const std::pair<std::string, std::string> table[] = {
        {progressLine(device("/dev/ttyUSB0", false, Failure), totals),
         "/dev/ttyUSB0: 25%, 12/48 records, 192/768 data bytes, 2.0 s, 96 B/s"},
        {progressLine(device("COM2", true, PortError), totals),
         "COM2: port error, 12/48 records, 192/768 data bytes, 2.0 s, 96 B/s"},
        {liveLine(device("COM2", false, Failure), totals, 12),
         "COM2          Programming Flash ...      12/48 records  25%  96 B/s"},
        {liveLine(device("/dev/ttyUSB10", true, Complete), totals, 13),
         "/dev/ttyUSB10  complete                  12/48 records  25%  96 B/s"},
    };
    for (const auto& [got, expected] : table) {
        EXPECT_EQ(got, expected);
    }
    DeviceStatus starting = device("COM1", false, Failure);
    starting.rate.reset();
    EXPECT_TRUE(progressLine(starting, totals).ends_with(", - B/s")); // no rate out of nothing
}

TEST(MultiLines, FinalTableHasOneRowPerPortInOrder) {
    std::vector<DeviceStatus> devices{device("/dev/ttyUSB0", true, Complete),
                                      device("COM2", true, IdleTimeout),
                                      device("/dev/ttyUSB1", true, Interrupted)};
    devices[0].records = 48;
    devices[0].dataBytes = 768;
    EXPECT_EQ(finalTable(devices, totals),
              "port          outcome                 records         data bytes  seconds\n"
              "/dev/ttyUSB0  complete                  48/48            768/768      2.0\n"
              "COM2          silent                    12/48            192/768      2.0\n"
              "/dev/ttyUSB1  interrupted               12/48            192/768      2.0\n");
}

} // namespace
} // namespace quill::cli
