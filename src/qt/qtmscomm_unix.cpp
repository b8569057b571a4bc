// SPDX-License-Identifier: MIT
#include "qt/qtmscomm_unix.h"

#include "qt/localporttexts.h"
#include "qt/serialline.h"

#include <algorithm>
#include <utility>

namespace quill {

using namespace localport;

QtMSComm::QtMSComm(PortResolver resolver) : CommBase(std::move(resolver)) {
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { scheduleReceive(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onPortError(error); });
}

QtMSComm::~QtMSComm() {
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
}

PortStatus QtMSComm::openPort() {
    const std::string device = deviceName();
    if (device.empty() || serialline::deviceMissing(device)) {
        return notFound(portDisplayName());
    }
    // Parity and data bits are set by the line layer once the port is open:
    // asking QSerialPort for them can fail on a pseudo-terminal.
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    // The device by its node: QSerialPort's lock file then names the
    // device, whatever name each program gave it.
    m_port.setPortName(QString::fromStdString(serialline::deviceNode(device)));
    m_port.setBaudRate(m_line.baud);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        PortError error = openError(device);
        m_port.clearError();
        return error;
    }
    if (!serialline::takeDevice(m_port.handle())) {
        closePort();
        return busy(portDisplayName());
    }
    m_pseudoTerminal = serialline::isPseudoTerminal(m_port.handle(), device);
    clearPending();
    if (PortStatus status = applyLine()) {
        closePort();
        return status;
    }
    watchLoop(m_port);
    return std::nullopt;
}

void QtMSComm::closePort() {
    m_closing = true;
    // Bytes still in Qt's buffer would be dropped by the close.
    m_port.flush();
    m_port.close();
    m_port.clearError();
    m_closing = false;
    clearPending();
}

PortError QtMSComm::openError(const std::string& device) const {
    const std::string port = portDisplayName();
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return notFound(port);
    case QSerialPort::OpenError:
        return busy(port);
    case QSerialPort::PermissionError:
        // Also a port held by another program: Qt says the same for both.
        if (auto denied = serialline::accessDenied(port, device)) {
            return PortError{PortErrorKind::Permission, std::move(*denied)};
        }
        return busy(port);
    default:
        return openFailed(port, m_port.errorString().toStdString());
    }
}

PortStatus QtMSComm::applyLine() {
    const std::string port = portDisplayName();
    // Rates the system has no constant for are left to QSerialPort's
    // custom-rate path; the line layer sets and checks the rest.
    m_port.setBaudRate(m_line.baud);
    m_port.clearError();
    m_lineProblem = serialline::applyLine(m_port.handle(), m_line, m_pseudoTerminal);
    if (m_lineProblem) {
        return m_lineProblem->setting.empty()
                   ? refused(port, m_settingsText, m_lineProblem->systemError)
                   : unsupported(port, m_lineProblem->setting);
    }
    return std::nullopt;
}

std::string QtMSComm::lineReadBack() const {
    return m_port.isOpen() ? serialline::lineText(m_port.handle(), m_pseudoTerminal)
                           : std::string("?");
}

PortStatus QtMSComm::setSettings(const std::string& text) {
    PortStatus error;
    if (!takeSettings(text, error)) {
        return error;
    }
    return m_port.isOpen() ? applyLine() : std::nullopt;
}

PortStatus QtMSComm::output(std::span<const uint8_t> data) {
    if (!m_port.isOpen()) {
        return notOpen(portDisplayName());
    }
    if (lossPending()) {
        return lost(portDisplayName());
    }
    if (data.empty()) {
        return std::nullopt;
    }
    // Nothing queued before it: straight to the driver, which takes a
    // record whole. What it does not take, and a write that fails, go
    // through QSerialPort's buffer, which retries and reports the failure.
    if (m_port.bytesToWrite() == 0) {
        data = data.subspan(serialline::writeNow(m_port.handle(), data));
        if (data.empty()) {
            return std::nullopt;
        }
    }
    const auto size = static_cast<qint64>(data.size());
    if (m_port.write(reinterpret_cast<const char*>(data.data()), size) != size) {
        return writeFailed(portDisplayName(), m_port.errorString().toStdString());
    }
    // Hand the bytes to the driver now rather than on the next pass of the
    // event loop: the device is waiting for this record.
    m_port.flush();
    return std::nullopt;
}

void QtMSComm::setInBufferCount(int16_t count) {
    if (count != 0 || !m_port.isOpen()) {
        return;
    }
    // What the device sent before is still in the driver's queue, or
    // already in QSerialPort's buffer: both go.
    serialline::discardInput(m_port.handle());
    m_port.clear(QSerialPort::Input);
}

std::vector<uint8_t> QtMSComm::input() {
    if (!m_port.isOpen()) {
        return {};
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(m_port.bytesAvailable()));
    const qint64 got =
        m_port.read(reinterpret_cast<char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    bytes.resize(static_cast<size_t>(std::max<qint64>(got, 0)));
    return bytes;
}

void QtMSComm::onPortError(QSerialPort::SerialPortError error) {
    if (m_closing || lossPending() || !m_port.isOpen()) {
        return;
    }
    // On hot unplug of a USB adapter (or a hang-up) Qt reports a resource
    // error, or a read error on every turn of the event loop while the port
    // stays open. Report it once and close the port from a queued call, out
    // of QSerialPort's own notification.
    const bool gone = error == QSerialPort::ResourceError ||
                      ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) &&
                       serialline::hungUp(m_port.handle()));
    if (!gone) {
        return;
    }
    scheduleLoss(m_port);
}

PortError QtMSComm::lostError() const {
    return lost(portDisplayName());
}

} // namespace quill
