// SPDX-License-Identifier: MIT
#include "qt/qtmscomm_win.h"

#include "qt/localporttexts.h"

#include <windows.h>

#include <array>
#include <utility>

namespace quill {

using namespace localport;

namespace {

std::string systemText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string said = length > 0 && text != nullptr ? std::string(text, length)
                                                     : "system error " + std::to_string(error);
    LocalFree(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.' ||
                             said.back() == ' ')) {
        said.pop_back();
    }
    return said;
}

// COM10 and above are reached only through the device namespace, so every
// port goes through it.
std::wstring win32Path(const std::string& device) {
    const std::string path = device.rfind("\\\\.\\", 0) == 0 ? device : "\\\\.\\" + device;
    return std::wstring(path.begin(), path.end());
}

BYTE parityCode(Parity parity) {
    switch (parity) {
    case Parity::Even:
        return EVENPARITY;
    case Parity::Odd:
        return ODDPARITY;
    case Parity::Mark:
        return MARKPARITY;
    case Parity::Space:
        return SPACEPARITY;
    case Parity::None:
        break;
    }
    return NOPARITY;
}

BYTE stopCode(StopBits stop) {
    switch (stop) {
    case StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case StopBits::Two:
        return TWOSTOPBITS;
    case StopBits::One:
        break;
    }
    return ONESTOPBIT;
}

} // namespace

// The read in flight: its OVERLAPPED and the buffer the driver fills.
struct QtMSComm::Io {
    OVERLAPPED read{};
    std::array<uint8_t, 4096> buffer{};
    bool pending = false;
};

QtMSComm::QtMSComm(PortResolver resolver)
    : CommBase(std::move(resolver)), m_io(std::make_unique<Io>()) {
    m_io->read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_readLook.setInterval(1);
    m_readLook.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_readLook, &QTimer::timeout, &m_context, [this] { readDone(); });
}

QtMSComm::~QtMSComm() {
    if (portOpen()) {
        closePort();
    }
    CloseHandle(m_io->read.hEvent);
}

PortStatus QtMSComm::openPort() {
    const std::string device = deviceName();
    if (device.empty()) {
        return notFound(portDisplayName());
    }
    // Share mode 0: the port is this program's alone until it closes it.
    HANDLE handle = CreateFileW(win32Path(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return notFound(portDisplayName());
        }
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
            return busy(portDisplayName());
        }
        return openFailed(portDisplayName(), systemText(error));
    }
    m_handle = handle;
    SetupComm(handle, 4096, 4096);
    // A read ends a millisecond after the bytes stop coming, or empty after
    // a second (Wine's ports do not know the "first byte" form with
    // MAXDWORD); a write that the line cannot take within its time is a
    // failed write.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 5000;
    SetCommTimeouts(handle, &timeouts);
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    clearPending();
    m_received.clear();
    if (PortStatus status = applyLine()) {
        closePort();
        return status;
    }
    watchLoop(m_context);
    startRead();
    return std::nullopt;
}

void QtMSComm::closePort() {
    if (m_handle != nullptr) {
        const HANDLE handle = m_handle;
        m_readLook.stop();
        if (m_io->pending) {
            CancelIoEx(handle, &m_io->read);
            DWORD got = 0;
            GetOverlappedResult(handle, &m_io->read, &got, TRUE);
            m_io->pending = false;
        }

        CloseHandle(handle);
        m_handle = nullptr;
    }
    m_received.clear();
    clearPending();
}

void QtMSComm::startRead() {
    if (m_handle == nullptr) {
        return;
    }
    ResetEvent(m_io->read.hEvent);
    m_io->pending = true;
    if (!ReadFile(m_handle, m_io->buffer.data(), DWORD(m_io->buffer.size()), nullptr,
                  &m_io->read) &&
        GetLastError() != ERROR_IO_PENDING) {
        m_io->pending = false;
        scheduleLoss(m_context);
        return;
    }
    // Done at once or later: the timer finds out.
    m_readLook.start();
}

void QtMSComm::readDone() {
    if (m_handle == nullptr || !m_io->pending) {
        return;
    }
    DWORD got = 0;
    bool done = GetOverlappedResult(m_handle, &m_io->read, &got, FALSE);
    if (!done && GetLastError() == ERROR_IO_INCOMPLETE) {
        return; // still on its way
    }
    // A read whose second has passed on a quiet line: Wine ends it with
    // STATUS_TIMEOUT, which GetOverlappedResult reports as a failure
    // without an error, where Windows ends it done and empty. The line is
    // quiet, not gone (the window keeps its port open while the user
    // chooses a file).
    done = done || m_io->read.Internal == STATUS_TIMEOUT;
    m_readLook.stop();
    m_io->pending = false;
    if (!done) {
        // A device that went away fails its reads.
        if (!lossPending()) {
            scheduleLoss(m_context);
        }
        return;
    }
    if (got > 0) {
        m_received.insert(m_received.end(), m_io->buffer.begin(), m_io->buffer.begin() + got);
        scheduleReceive();
    }
    startRead();
}

PortStatus QtMSComm::applyLine() {
    const std::string port = portDisplayName();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb)) {
        const DWORD error = GetLastError();
        m_lineProblem = LineProblem{{}, systemText(error)};
        return refused(port, m_settingsText, m_lineProblem->systemError);
    }
    // Everything the line needs, whatever the port held before: no flow
    // control of any kind (XON and XOFF are data to the download), no byte
    // replaced or dropped, the modem lines up.
    dcb.BaudRate = DWORD(m_line.baud);
    dcb.ByteSize = BYTE(m_line.dataBits);
    dcb.Parity = parityCode(m_line.parity);
    dcb.StopBits = stopCode(m_line.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = m_line.parity == Parity::None ? FALSE : TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(m_handle, &dcb)) {
        // The driver refuses what it cannot do (a parity, a rate) outright.
        m_lineProblem = LineProblem{{}, systemText(GetLastError())};
        return refused(port, m_settingsText, m_lineProblem->systemError);
    }
    m_lineProblem.reset();
    return std::nullopt;
}

std::string QtMSComm::lineReadBack() const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (m_handle == nullptr || !GetCommState(m_handle, &dcb)) {
        return "?";
    }
    static constexpr char parities[] = "NOEMS";
    const std::string stop = dcb.StopBits == ONE5STOPBITS  ? "1.5"
                             : dcb.StopBits == TWOSTOPBITS ? "2"
                                                           : "1";
    return std::to_string(dcb.BaudRate) + "," +
           (dcb.Parity < 5 ? std::string(1, parities[dcb.Parity]) : "?") + "," +
           std::to_string(dcb.ByteSize) + "," + stop;
}

PortStatus QtMSComm::setSettings(const std::string& text) {
    PortStatus error;
    if (!takeSettings(text, error)) {
        return error;
    }
    return portOpen() ? applyLine() : std::nullopt;
}

PortStatus QtMSComm::output(std::span<const uint8_t> data) {
    if (!portOpen()) {
        return notOpen(portDisplayName());
    }
    if (lossPending()) {
        return lost(portDisplayName());
    }
    // The driver takes a record whole; the write waits for it, bounded by
    // the write time-outs set at the open.
    while (!data.empty()) {
        OVERLAPPED write{};
        write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD done = 0;
        bool ok = WriteFile(m_handle, data.data(), DWORD(data.size()), nullptr, &write) ||
                  GetLastError() == ERROR_IO_PENDING;
        ok = ok && GetOverlappedResult(m_handle, &write, &done, TRUE);
        const DWORD error = GetLastError();
        CloseHandle(write.hEvent);
        if (!ok) {
            return writeFailed(portDisplayName(), systemText(error));
        }
        if (done == 0) {
            return writeFailed(portDisplayName(), "the line took nothing in time");
        }
        data = data.subspan(done);
    }
    return std::nullopt;
}

void QtMSComm::setInBufferCount(int16_t count) {
    if (count != 0 || !portOpen()) {
        return;
    }
    PurgeComm(m_handle, PURGE_RXCLEAR);
    m_received.clear();
}

std::vector<uint8_t> QtMSComm::input() {
    return std::exchange(m_received, {});
}

PortError QtMSComm::lostError() const {
    return lost(portDisplayName());
}

} // namespace quill
