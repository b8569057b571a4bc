// SPDX-License-Identifier: MIT
#include "simworld.h"

#include "download/tracker.h"

#include <atomic>
#include <fstream>
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
    const std::filesystem::path file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

SimWorld::SimWorld() = default;

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
        std::vector<Delivery> out;
        for (devsim::Reply& r : device->receive(written, parityFromSettings(settings))) {
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

void SimWorld::startAndRun() {
    start();
    loop.runAll();
}

std::vector<std::string> SimWorld::recordsSent() const {
    std::vector<std::string> out;
    const std::string wire = port.wire();
    const std::string erase = ":01000000FF00\r\n";
    size_t pos = wire.rfind(erase);
    if (pos == std::string::npos) {
        return out;
    }
    pos += erase.size();
    while (pos < wire.size()) {
        const size_t end = wire.find("\r\n", pos);
        if (end == std::string::npos) {
            out.push_back(wire.substr(pos) + "<unterminated>");
            break;
        }
        out.push_back(wire.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

int SimWorld::eraseRequestsSent() const {
    int count = 0;
    for (const WireWrite& w : port.writes()) {
        if (std::string(w.bytes.begin(), w.bytes.end()) == ":01000000FF00\r\n") {
            ++count;
        }
    }
    return count;
}

devsim::Parity parityFromSettings(const std::string& settings) {
    switch (parityOf(settings)) {
    case 'E':
        return devsim::Parity::Even;
    case 'O':
        return devsim::Parity::Odd;
    case 'M':
        return devsim::Parity::Mark;
    case 'S':
        return devsim::Parity::Space;
    default:
        return devsim::Parity::None;
    }
}

} // namespace quill::sim
