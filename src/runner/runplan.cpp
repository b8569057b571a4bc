// SPDX-License-Identifier: MIT
#include "runner/runplan.h"

#include "port/portcontrol.h"
#include "port/startup.h"
#include "qt/portnames.h"
#include "rfc2217/porturl.h"
#include "runner/runnertexts.h"

#include <filesystem>
#include <sys/stat.h>

namespace quill {

namespace {

// The same device under two names: a path and a link to it (such as a
// /dev/serial/by-id name), or one path written two ways.
// (std::filesystem::equivalent refuses device nodes: stat them.) Ports on
// the network are the same when their URLs are.
bool sameDevice(const std::string& a, const std::string& b) {
    if (rfc2217::isNetworkPortName(a) || rfc2217::isNetworkPortName(b)) {
        return a == b;
    }
    struct stat sa {};
    struct stat sb {};
    // Windows numbers no files (st_ino 0): there the names alone tell.
    return a == b || (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
                      sa.st_ino != 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
}

} // namespace

std::string resolvedDevice(const std::string& device) {
    if (device.empty() || rfc2217::isNetworkPortName(device)) {
        return device;
    }
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    return ec ? device : real.string();
}

std::string traceFileName(std::string_view port) {
    return portFileStem(port) + ".log";
}

std::string portFileStem(std::string_view port) {
    std::string name(port.substr(std::min(port.find_first_not_of('/'), port.size())));
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return name.empty() ? std::string("port") : name;
}

RunPlan planRun(const RunRequest& request, const SettingsStore& stored) {
    Module1 m;
    read_settings(m, stored);
    RunPlan plan;
    plan.baud = request.baud.value_or(m.baud_rate);
    plan.deviceType = request.device.value_or(m.device_type);
    std::vector<std::string> ports = request.ports;
    if (ports.empty()) {
        if (m.com_port == 0) {
            plan.problems.emplace_back(text::NoPort);
        } else {
            ports.push_back("COM" + std::to_string(m.com_port));
        }
    }
    const PortResolver comDevice = defaultPortResolver(stored);
    const bool traceFolder = ports.size() > 1;
    for (const std::string& port : ports) {
        DeviceSetup s;
        s.port = port;
        s.device = devicePath(port);
        if (const auto n = comNumber(port); n && !(*n > 4 && comNamesTheDevice())) {
            if (*n > 4) {
                plan.problems.push_back(port + text::NotComOneToFour);
            }
            s.comPort = static_cast<int16_t>(*n);
            s.device = devicePath(comDevice(s.comPort));
            s.namedByPath = false;
        }
        s.devicePath = resolvedDevice(s.device);
        s.baud = plan.baud;
        s.deviceType = plan.deviceType;
        s.file = request.file;
        s.idleTimeoutSeconds = request.idleTimeoutSeconds;
        s.risks = request.risks;
        s.settleMs = request.settleMs;
        s.verbose = request.verbose;
        if (!request.logPath.empty()) {
            s.tracePath =
                traceFolder ? request.logPath + "/" + traceFileName(port) : request.logPath;
        }
        // Two threads on one device would write into each other's downloads,
        // two traces into one file.
        for (const DeviceSetup& earlier : plan.devices) {
            if (sameDevice(earlier.device, s.device)) {
                plan.problems.push_back(earlier.port + " and " + port + text::SameDeviceTwice +
                                        s.device);
            } else if (!s.tracePath.empty() && earlier.tracePath == s.tracePath) {
                plan.problems.push_back(earlier.port + " and " + port + text::SameTraceTwice +
                                        traceFileName(port));
            }
        }
        plan.devices.push_back(std::move(s));
    }
    if (!is_valid_baud(plan.baud)) {
        plan.problems.emplace_back(text::NoBaud);
    }
    // A stored [Serial] setting that cannot be used stops the run, rather
    // than a default in its place.
    if (!request.serial.problem.empty()) {
        plan.problems.push_back(request.serial.problem);
    }
    return plan;
}

} // namespace quill
