// SPDX-License-Identifier: MIT
#include "simworld.h"

#include "shared/linesettings.h"
#include "testtext.h"

#include <cstdlib>

namespace quill::sim {

TempDir::TempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
    EXPECT_NE(::mkdtemp(name.data()), nullptr) << name;
    m_path = name;
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

PortStatus SimSerial::setPortOpen(bool open) {
    const std::string name = portDisplayName();
    if (!open) {
        m_open = false;
        return {};
    }
    if (m_open) {
        return PortError{PortErrorKind::Other, name + " is already open."};
    }
    if (present.count(m_port) == 0) {
        return PortError{PortErrorKind::NotFound, name + " does not exist."};
    }
    if (busy.count(m_port) != 0) {
        return PortError{PortErrorKind::Busy, name + " is used by another program."};
    }
    m_open = true;
    ++opens;
    m_rx.clear();
    return {};
}

PortStatus SimSerial::setSettings(const std::string& text) {
    if (!text.empty() && parityOf(text) == '?') {
        return PortError{PortErrorKind::BadSettings, "Bad line settings \"" + text + "\"."};
    }
    m_settings = text.empty() ? m_settings : text;
    return {};
}

PortStatus SimSerial::output(std::span<const uint8_t> data) {
    if (!m_open) {
        return PortError{PortErrorKind::NotOpen, portDisplayName() + " is not open."};
    }
    m_writes.push_back({m_loop.now(), {data.begin(), data.end()}, m_settings});
    for (Delivery& d :
         farEnd ? farEnd(m_writes.back().bytes, m_settings) : std::vector<Delivery>{}) {
        deliver(d.delay, std::move(d.bytes));
    }
    return {};
}

void SimSerial::setInBufferCount(int16_t count) {
    if (count == 0) {
        m_rx.clear();
        ++discards;
    }
}

void SimSerial::event(int16_t code) {
    m_event = code;
    if (m_sink) {
        m_sink->MSComm1_OnComm();
    }
}

void SimSerial::deliver(Ms delay, std::vector<uint8_t> bytes) {
    m_loop.schedule(delay, [this, bytes = std::move(bytes)] {
        if (m_open) { // nobody listens on a closed port
            m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
            event(comEvReceive);
        }
    });
}

void SimSerial::arrived(Ms delay, std::vector<uint8_t> bytes) {
    m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
    m_loop.schedule(delay, [this] {
        if (m_open && !m_rx.empty()) { // as the serial control: no event for an empty buffer
            event(comEvReceive);
        }
    });
}

void SimSerial::raiseEvent(Ms delay, int16_t code) {
    m_loop.schedule(delay, [this, code] { event(code); });
}

void SimSerial::unplug(Ms delay) {
    m_loop.schedule(delay, [this] {
        present.erase(m_port);
        if (std::exchange(m_open, false) && m_sink) {
            m_sink->onPortLost({PortErrorKind::Lost,
                                "The serial port " + portDisplayName() + " was disconnected."});
        }
    });
}

char parityOf(const std::string& settings) {
    const size_t at = settings.find(',') + 1;
    const bool known = at != 0 && at < settings.size() &&
                       std::string("NEOMS").find(settings[at]) != std::string::npos;
    return known ? settings[at] : '?';
}

} // namespace quill::sim
