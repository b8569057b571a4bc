// SPDX-License-Identifier: MIT
#pragma once
// What a run will do on each device, settled before any port is touched:
// the port as named and the device it resolves to, the line, the kind of
// device and the trace. Made in one place, from what the run was asked and
// what the window program stored, for one port as for several.

#include "platform/settingsstore.h"
#include "run/runrequest.h"
#include "shared/module1.h"
#include "trace/tracewriter.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct DeviceSetup {
    std::string port;        // as named: names the device in every line shown
    std::string device;      // what the serial control opens: a device path or a URL
    std::string devicePath;  // the device node, links followed; the URL of a network port
    int16_t comPort = 1;     // COMn, or 1 for a port named by its path
    bool namedByPath = true; // messages name the port by its path alone
    int32_t baud = 0;
    int16_t deviceType = device_manual;
    std::string file; // the path, or what names a recipe's firmware ("recipe NAME@VERSION")
    // A recipe's firmware, as the history holds it; none: `file` on disk.
    std::shared_ptr<const std::vector<uint8_t>> firmware;
    int idleTimeoutSeconds = 0;
    Risks risks;
    int settleMs = 0;
    std::string tracePath;                // empty: no trace is kept
    std::shared_ptr<TraceFile> traceFile; // made before any port is touched
    bool verbose = false;                 // the short trace, as lines
    // The unit's number and where it goes in the image; none: the file as it stands.
    std::optional<uint32_t> serialAddress;
    std::vector<uint8_t> serialBytes;
    // The number is drawn once the device answered: until then serialBytes
    // hold placeholders of its size, so that the check counts what is sent.
    bool serialOnAnswer = false;
};

struct RunPlan {
    std::vector<DeviceSetup> devices;
    int32_t baud = 0;
    int16_t deviceType = device_manual;
    // Every problem of the request, in the run's words; none: the plan holds.
    std::vector<std::string> problems;
};

// The ports as named (none: the stored COM port), each resolved; baud rate
// and device as given or stored.
RunPlan planRun(const RunRequest& request, const SettingsStore& stored);

// A port's name as the device node it stands for, links followed (a
// /dev/serial/by-id name gives /dev/ttyUSB0); a URL stays as it is.
std::string resolvedDevice(const std::string& device);

// The name of a device's trace in a --log folder, made from its port:
// "/dev/ttyUSB0" gives "dev_ttyUSB0.log", "COM2" "COM2.log".
std::string traceFileName(std::string_view port);
// ... without ".log": the port as one level of a name ("dev_ttyUSB0").
std::string portFileStem(std::string_view port);

} // namespace quill
