// SPDX-License-Identifier: MIT
#include "simworld.h"

#include "shared/linesettings.h"
#include "testtext.h"

#include <atomic>
#include <unistd.h>

namespace quill::sim {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("quill-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    const std::string file = (m_path / name).string();
    test::writeFile(file, bytes);
    return file;
}

void SimWorld::setUpPort(int32_t baud, int16_t deviceType, int16_t comPort) {
    m.com_port = comPort;
    m.baud_rate = baud;
    m.device_type = deviceType;
    port.setCommPort(comPort);
    port.setSettings(lineSettings(baud, deviceType == device_tracker ? 'E' : 'M'));
    port.setPortOpen(true);
}

devsim::DeviceModel& SimWorld::connect(devsim::Config config) {
    device = std::make_unique<devsim::DeviceModel>(config);
    port.farEnd = [this](const std::vector<uint8_t>& written, const std::string& settings) {
        // The parity letters in the order of devsim::Parity; '?' is none.
        const size_t parity = std::string("NEOMS").find(parityOf(settings));
        std::vector<Delivery> out;
        for (devsim::Reply& r : device->receive(
                 written, static_cast<devsim::Parity>(parity == std::string::npos ? 0 : parity))) {
            out.push_back({r.delayMs, std::move(r.bytes)});
        }
        return out;
    };
    return *device;
}

std::string SimWorld::chooseFile(const std::string& content, const std::string& name) {
    m.hex_file_name = dir.write(name, content);
    return m.hex_file_name;
}

std::vector<std::string> SimWorld::recordsSent() const {
    std::vector<std::string> out;
    for (const WireWrite& write : port.writes()) {
        const std::string bytes(write.bytes.begin(), write.bytes.end());
        if (bytes == ":01000000FF00\r\n") {
            out.clear();
        } else if (bytes[0] == ':') {
            out.push_back(bytes.substr(0, bytes.find("\r\n")));
        }
    }
    return out;
}

} // namespace quill::sim
