// SPDX-License-Identifier: MIT
#include "simserial.h"

namespace quill::sim {

std::string SimSerial::portDisplayName() const {
    return "COM" + std::to_string(m_port) + " (sim)";
}

PortStatus SimSerial::setPortOpen(bool open) {
    if (!open) {
        m_open = false;
        return {};
    }
    if (m_open) {
        return PortError{PortErrorKind::Other, portDisplayName() + " is already open."};
    }
    if (present.count(m_port) == 0) {
        return PortError{PortErrorKind::NotFound, portDisplayName() + " does not exist."};
    }
    if (busy.count(m_port) != 0) {
        return PortError{PortErrorKind::Busy, portDisplayName() + " is used by another program."};
    }
    m_open = true;
    ++opens;
    m_rx.clear();
    return {};
}

PortStatus SimSerial::setSettings(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    if (parityOf(text) == '?') {
        return PortError{PortErrorKind::BadSettings, "Bad line settings \"" + text + "\"."};
    }
    m_settings = text;
    return {};
}

PortStatus SimSerial::output(std::span<const uint8_t> data) {
    if (!m_open) {
        return PortError{PortErrorKind::NotOpen, portDisplayName() + " is not open."};
    }
    std::vector<uint8_t> bytes(data.begin(), data.end());
    m_writes.push_back({m_loop.now(), bytes, m_settings});
    if (farEnd) {
        for (Delivery& d : farEnd(bytes, m_settings)) {
            deliver(d.delay, std::move(d.bytes));
        }
    }
    return {};
}

std::vector<uint8_t> SimSerial::input() {
    std::vector<uint8_t> out;
    out.swap(m_rx);
    return out;
}

void SimSerial::deliver(Ms delay, std::vector<uint8_t> bytes) {
    m_loop.schedule(delay, [this, bytes = std::move(bytes)] {
        if (!m_open) {
            return; // nobody listens on a closed port
        }
        m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
        m_event = comEvReceive;
        if (m_sink) {
            m_sink->MSComm1_OnComm();
        }
    });
}

void SimSerial::setInBufferCount(int16_t count) {
    if (count == 0) {
        m_rx.clear();
        ++discards;
    }
}

void SimSerial::arrived(Ms delay, std::vector<uint8_t> bytes) {
    m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
    m_loop.schedule(delay, [this] {
        // As the serial control: no receive event for an empty buffer.
        if (m_open && !m_rx.empty() && m_sink) {
            m_event = comEvReceive;
            m_sink->MSComm1_OnComm();
        }
    });
}

void SimSerial::raiseEvent(Ms delay, int16_t code) {
    m_loop.schedule(delay, [this, code] {
        m_event = code;
        if (m_sink) {
            m_sink->MSComm1_OnComm();
        }
    });
}

void SimSerial::unplug(Ms delay) {
    m_loop.schedule(delay, [this] {
        present.erase(m_port);
        if (!m_open) {
            return;
        }
        m_open = false;
        if (m_sink) {
            m_sink->onPortLost({PortErrorKind::Lost,
                                "The serial port " + portDisplayName() + " was disconnected."});
        }
    });
}

std::string SimSerial::wire() const {
    std::string out;
    for (const WireWrite& w : m_writes) {
        out.append(w.bytes.begin(), w.bytes.end());
    }
    return out;
}

char parityOf(const std::string& settings) {
    const size_t comma = settings.find(',');
    if (comma == std::string::npos || comma + 1 >= settings.size()) {
        return '?';
    }
    const char p = settings[comma + 1];
    return std::string("NEOMS").find(p) == std::string::npos ? '?' : p;
}

} // namespace quill::sim
