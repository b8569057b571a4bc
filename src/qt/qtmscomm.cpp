// SPDX-License-Identifier: MIT
#include "qt/qtmscomm.h"

#include <algorithm>
#include <array>
#include <utility>

#ifdef Q_OS_UNIX
#include "qt/devicegroup.h"
#include "qt/ttyline.h"

#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace quill {
namespace {

// The control's messages, each naming the port as the user knows it.
PortError notFound(const std::string& port) {
    return {PortErrorKind::NotFound, "Cannot open " + port + ": the port does not exist."};
}

PortError busy(const std::string& port) {
    return {PortErrorKind::Busy,
            "Cannot open " + port + ": the port is in use by another program."};
}

#ifdef Q_OS_UNIX
PortError permissionDenied(const std::string& port, const std::string& device) {
    return {PortErrorKind::Permission, permissionText(port, deviceGroup(device))};
}
#endif

PortError openFailed(const std::string& port, const std::string& reason) {
    return {PortErrorKind::Other, "Cannot open " + port + ": " + reason + "."};
}

PortError notOpen(const std::string& port) {
    return {PortErrorKind::NotOpen, port + " is not open."};
}

PortError unsupported(const std::string& port, const std::string& setting) {
    return {PortErrorKind::Unsupported,
            port + " cannot use " + setting + ": its driver does not support it."};
}

PortError refused(const std::string& port, const std::string& text, const std::string& reason) {
    return {PortErrorKind::Unsupported,
            port + " refused the line configuration " + text + ": " + reason + "."};
}

PortError writeFailed(const std::string& port, const std::string& reason) {
    return {PortErrorKind::Other, "Could not write to " + port + ": " + reason + "."};
}

// Qt's own text for a hang-up is a stale errno, so the words are ours.
PortError lost(const std::string& port) {
    return {PortErrorKind::Lost, "The connection to " + port +
                                     " was lost: the device or adapter went away. Reconnect it, "
                                     "then open the port again."};
}

#ifndef Q_OS_UNIX
QSerialPort::Parity qtParity(Parity parity) {
    static constexpr std::array<QSerialPort::Parity, 5> parities{
        QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    return parities.at(static_cast<std::size_t>(parity));
}

QSerialPort::StopBits qtStopBits(StopBits stopBits) {
    static constexpr std::array<QSerialPort::StopBits, 3> stops{
        QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    return stops.at(static_cast<std::size_t>(stopBits));
}
#endif

} // namespace

QtMSComm::QtMSComm(PortResolver resolver) : CommBase(std::move(resolver)) {
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { scheduleReceive(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onPortError(error); });
}

QtMSComm::~QtMSComm() {
    QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
}

PortStatus QtMSComm::setPortOpen(bool open) {
    if (open == m_port.isOpen()) {
        return std::nullopt;
    }
    if (!open) {
        closePort();
        return std::nullopt;
    }
    return openPort();
}

PortStatus QtMSComm::openPort() {
    const std::string device = deviceName();
#ifdef Q_OS_UNIX
    struct stat info {};
    if (device.empty() || (::stat(device.c_str(), &info) != 0 && errno == ENOENT)) {
        return notFound(portDisplayName());
    }
    // Parity and data bits are set through termios once the port is open:
    // asking QSerialPort for them can fail on a pseudo-terminal.
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
#else
    if (device.empty()) {
        return notFound(portDisplayName());
    }
    m_port.setParity(qtParity(m_line.parity));
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_line.dataBits));
    m_port.setStopBits(qtStopBits(m_line.stopBits));
#endif
    m_port.setPortName(QString::fromStdString(device));
    m_port.setBaudRate(m_line.baud);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        PortError error = openError(device);
        m_port.clearError();
        return error;
    }
#ifdef Q_OS_UNIX
    m_pseudoTerminal = isPseudoTerminal(static_cast<int>(m_port.handle()), device);
#endif
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
#ifdef Q_OS_UNIX
        // Qt reports a port held by another program (its lock file, EBUSY)
        // and a device file the user may not open (EACCES) alike.
        if (::access(device.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
            return permissionDenied(port, device);
        }
#else
        static_cast<void>(device); // Windows answers "access denied" for a port in use
#endif
        return busy(port);
    default:
        return openFailed(port, m_port.errorString().toStdString());
    }
}

PortStatus QtMSComm::applyLine() {
    const std::string port = portDisplayName();
#ifdef Q_OS_UNIX
    // Rates without a termios constant are left to QSerialPort's custom-rate
    // path; applyTtyLine sets and checks the rest.
    m_port.setBaudRate(m_line.baud);
    m_port.clearError();
    if (const auto problem =
            applyTtyLine(static_cast<int>(m_port.handle()), m_line, m_pseudoTerminal)) {
        return problem->setting.empty() ? refused(port, m_settingsText, problem->systemError)
                                        : unsupported(port, problem->setting);
    }
    return std::nullopt;
#else
    const bool applied = m_port.setBaudRate(m_line.baud) &&
                         m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_line.dataBits)) &&
                         m_port.setParity(qtParity(m_line.parity)) &&
                         m_port.setStopBits(qtStopBits(m_line.stopBits)) &&
                         m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        PortError error = refused(port, m_settingsText, m_port.errorString().toStdString());
        m_port.clearError();
        return error;
    }
    return std::nullopt;
#endif
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
#ifdef Q_OS_UNIX
    // Nothing queued before it: straight to the driver, which takes a
    // record whole. What it does not take, and a write that fails, go
    // through QSerialPort's buffer, which retries and reports the failure.
    if (m_port.bytesToWrite() == 0) {
        ssize_t written = 0;
        do {
            written = ::write(static_cast<int>(m_port.handle()), data.data(), data.size());
        } while (written < 0 && errno == EINTR);
        if (written > 0) {
            data = data.subspan(static_cast<size_t>(written));
        }
        if (data.empty()) {
            return std::nullopt;
        }
    }
#endif
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
#ifdef Q_OS_UNIX
    // What the device sent before is still in the terminal's queue, or
    // already in QSerialPort's buffer: both go.
    ::tcflush(static_cast<int>(m_port.handle()), TCIFLUSH);
#endif
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
    const bool gone =
        error == QSerialPort::ResourceError ||
        ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) && hungUp());
    if (!gone) {
        return;
    }
    scheduleLoss(m_port);
}

bool QtMSComm::hungUp() const {
#ifdef Q_OS_UNIX
    pollfd probe{static_cast<int>(m_port.handle()), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

PortError QtMSComm::lostError() const {
    return lost(portDisplayName());
}

} // namespace quill
