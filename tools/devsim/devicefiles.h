// SPDX-License-Identifier: MIT
#pragma once
// A played device's files, alike on a terminal and on the network: its
// conversation log (lines timed from its start, "-" for standard error)
// and the image it rebuilt.

#include "devsim/devicemodel.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace quill::devsim {

class DeviceFiles {
  public:
    // The log is opened at once; `logPrefix` goes before each line.
    DeviceFiles(std::string logPath, std::string imagePath, std::string logPrefix = {});
    DeviceFiles(const DeviceFiles&) = delete;
    DeviceFiles& operator=(const DeviceFiles&) = delete;
    ~DeviceFiles();

    bool logOpen() const { return m_logPath.empty() || m_log != nullptr; }
    void log(const std::string& line);
    void flushLog();
    // Writes the model's image, if an image file was asked for, and says
    // so on standard error.
    void writeImage(const DeviceModel& model) const;

  private:
    using Clock = std::chrono::steady_clock;
    const std::string m_logPath;
    const std::string m_imagePath;
    const std::string m_logPrefix;
    std::FILE* m_log = nullptr;
    bool m_ownLog = false;
    Clock::time_point m_start = Clock::now();
};

} // namespace quill::devsim
