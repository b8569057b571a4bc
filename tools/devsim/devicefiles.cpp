// SPDX-License-Identifier: MIT
#include "devsim/devicefiles.h"

namespace quill::devsim {

DeviceFiles::DeviceFiles(std::string logPath, std::string imagePath, std::string logPrefix)
    : m_logPath(std::move(logPath)), m_imagePath(std::move(imagePath)),
      m_logPrefix(std::move(logPrefix)) {
    if (m_logPath == "-") {
        m_log = stderr;
    } else if (!m_logPath.empty()) {
        m_log = std::fopen(m_logPath.c_str(), "w");
        m_ownLog = m_log != nullptr;
    }
}

DeviceFiles::~DeviceFiles() {
    if (m_ownLog) {
        std::fclose(m_log);
    }
}

void DeviceFiles::log(const std::string& line) {
    if (m_log == nullptr) {
        return;
    }
    const std::chrono::duration<double, std::milli> since = Clock::now() - m_start;
    std::fprintf(m_log, "%s%.3f %s\n", m_logPrefix.c_str(), since.count(), line.c_str());
}

void DeviceFiles::flushLog() {
    if (m_log != nullptr) {
        std::fflush(m_log);
    }
}

void DeviceFiles::writeImage(const DeviceModel& model) const {
    if (m_imagePath.empty()) {
        return;
    }
    const WriteResult result = model.image().write(m_imagePath);
    if (result.ok) {
        std::fprintf(stderr, "quill-devsim: image %s: base 0x%08X, %zu bytes\n",
                     m_imagePath.c_str(), result.base, result.length);
    } else {
        std::fprintf(stderr, "quill-devsim: image not written: %s\n", result.error.c_str());
    }
}

} // namespace quill::devsim
