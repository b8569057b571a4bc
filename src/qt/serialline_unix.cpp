// SPDX-License-Identifier: MIT
// serialline.h on Linux and the other Unix systems: termios for the line,
// poll for a hang-up, stat and the group database for the device node.
#include "qt/serialline_unix.h"

#include "port/porttexts.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quill::serialline {
namespace {

// Unix98 pseudo-terminal slaves use majors 136 to 143.
constexpr unsigned ptySlaveMajorFirst = 136;
constexpr unsigned ptySlaveMajorLast = 143;

constexpr tcflag_t parityBits = PARENB | PARODD | CMSPAR;

constexpr std::array<std::pair<int32_t, speed_t>, 30> speeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<speed_t> speedConstant(int32_t baud) {
    for (const auto& [rate, constant] : speeds) {
        if (rate == baud) {
            return constant;
        }
    }
    return std::nullopt; // a rate without a constant is left as QSerialPort set it
}

std::string rateText(speed_t speed) {
    for (const auto& [rate, constant] : speeds) {
        if (constant == speed) {
            return std::to_string(rate);
        }
    }
    return "?";
}

// In the order of enum Parity: none, even, odd, mark, space.
constexpr std::array<tcflag_t, 5> parityFlagsOf{0, PARENB, PARENB | PARODD,
                                                PARENB | PARODD | CMSPAR, PARENB | CMSPAR};

// 5 to 8 data bits.
constexpr std::array<tcflag_t, 4> sizeFlags{CS5, CS6, CS7, CS8};

std::string parityText(Parity parity) {
    return std::string(parityName(parity)) + " parity";
}

std::string stopBitsText(StopBits stopBits) {
    static constexpr std::array<const char*, 3> texts{"1 stop bit", "1.5 stop bits", "2 stop bits"};
    return texts.at(static_cast<std::size_t>(stopBits));
}

// The first part of cfg that `actual` does not carry, in the order a user
// would check them; empty when all is in place.
std::optional<std::string> firstDifference(const termios& actual, const termios& wanted,
                                           const LineConfig& cfg, bool pty) {
    if (const auto speed = speedConstant(cfg.baud);
        speed && (cfgetospeed(&actual) != *speed || cfgetispeed(&actual) != *speed)) {
        return std::to_string(cfg.baud) + " baud";
    }
    const tcflag_t parityMask = pty ? (parityBits & ~PARENB) : parityBits;
    if ((actual.c_cflag & parityMask) != (wanted.c_cflag & parityMask)) {
        return parityText(cfg.parity);
    }
    if (!pty && (actual.c_cflag & CSIZE) != (wanted.c_cflag & CSIZE)) {
        return std::to_string(cfg.dataBits) + " data bits";
    }
    if ((actual.c_cflag & CSTOPB) != (wanted.c_cflag & CSTOPB)) {
        return stopBitsText(cfg.stopBits);
    }
    if ((actual.c_cflag & CRTSCTS) != 0 || (actual.c_iflag & (IXON | IXOFF | IXANY)) != 0) {
        return std::string("operation without flow control");
    }
    return std::nullopt;
}

class SystemTermios final : public TermiosIo {
  public:
    int get(int fd, termios& t) override { return tcgetattr(fd, &t) == 0 ? 0 : errno; }
    int set(int fd, const termios& t) override {
        return tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : errno;
    }
};

} // namespace

TermiosIo& systemTermios() {
    static SystemTermios io;
    return io;
}

std::optional<LineProblem> applyTtyLine(int fd, const LineConfig& cfg, bool pseudoTerminal,
                                        TermiosIo& io) {
    // On a 16550-type UART, two stop bits with 5 data bits are sent as 1.5;
    // there is no other way to ask for 1.5.
    if (cfg.stopBits == StopBits::OneAndHalf && cfg.dataBits != 5) {
        return LineProblem{stopBitsText(cfg.stopBits) + " with " + std::to_string(cfg.dataBits) +
                               " data bits",
                           {}};
    }
    termios current{};
    if (const int error = io.get(fd, current)) {
        return LineProblem{{}, std::strerror(error)};
    }
    termios wanted = current;
    wanted.c_cflag = (wanted.c_cflag & ~(parityBits | CSIZE | CSTOPB | CRTSCTS)) |
                     parityFlagsOf.at(static_cast<std::size_t>(cfg.parity)) |
                     sizeFlags.at(static_cast<std::size_t>(cfg.dataBits - 5)) |
                     (cfg.stopBits == StopBits::One ? 0 : CSTOPB);
    // The device's XON and XOFF are data for the download: the driver must
    // pass them on, never act on them.
    wanted.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (const auto speed = speedConstant(cfg.baud)) {
        cfsetispeed(&wanted, *speed);
        cfsetospeed(&wanted, *speed);
    }
    // Always asked for, even when the read-back looks right already: on a
    // pseudo-terminal the read-back cannot show PARENB, so "nothing to
    // change" would leave even parity unasked for.
    if (const int error = io.set(fd, wanted); error != 0 && !(pseudoTerminal && error == EINVAL)) {
        return LineProblem{{}, std::strerror(error)};
    }
    termios actual{};
    if (const int error = io.get(fd, actual)) {
        return LineProblem{{}, std::strerror(error)};
    }
    if (auto missing = firstDifference(actual, wanted, cfg, pseudoTerminal)) {
        return LineProblem{std::move(*missing), {}};
    }
    return std::nullopt;
}

// A pseudo-terminal drops the parity enable bit but keeps mark's other bits:
// there even and none read alike.
std::string ttyLineText(const termios& t, bool pseudoTerminal) {
    const bool odd = (t.c_cflag & PARODD) != 0;
    std::string parity = "N";
    if ((t.c_cflag & PARENB) != 0) {
        parity = (t.c_cflag & CMSPAR) != 0 ? (odd ? "M" : "S") : (odd ? "O" : "E");
    } else if (pseudoTerminal) {
        parity = odd && (t.c_cflag & CMSPAR) != 0 ? "M" : "E/N";
    }
    std::string dataBits = "?";
    for (std::size_t i = 0; i < sizeFlags.size(); ++i) {
        if ((t.c_cflag & CSIZE) == sizeFlags[i]) {
            dataBits = std::to_string(i + 5);
        }
    }
    return rateText(cfgetospeed(&t)) + "," + parity + "," + dataBits +
           ((t.c_cflag & CSTOPB) != 0 ? ",2" : ",1");
}

std::string deviceGroup(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->gr_name == nullptr) {
        return {};
    }
    return found->gr_name;
}

std::string permissionText(const std::string& port, const std::string& group) {
    std::string message = text::PermissionPrefix + port + text::PermissionDenied;
    if (group.empty() || group == "root") {
        return message + '\r' + text::PermissionAskForAccess;
    }
    return message + '\r' + text::PermissionGroupPrefix + group + text::PermissionGroupMiddle +
           group + text::PermissionGroupSuffix;
}

bool deviceMissing(const std::string& device) {
    struct stat info {};
    return ::stat(device.c_str(), &info) != 0 && errno == ENOENT;
}

std::string deviceNode(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path node = std::filesystem::canonical(device, ec);
    return ec ? device : node.string();
}

// An exclusive lock on the device's inode holds for every name of it and
// for root too, which TIOCEXCL does not stop; the terminal's exclusive mode
// still keeps out programs that know nothing of locks.
bool takeDevice(Handle port) {
    if (::flock(port, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return false;
    }
    ::ioctl(port, TIOCEXCL);
    return true;
}

std::optional<std::string> accessDenied(const std::string& port, const std::string& device) {
    // A port held by another program (Qt's lock file, EBUSY) can still be
    // opened as far as the node's permissions go: that is not this.
    if (::access(device.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        return permissionText(port, deviceGroup(device));
    }
    return std::nullopt;
}

bool isPseudoTerminal(Handle port, const std::string& device) {
    struct stat info {};
    if (fstat(port, &info) == 0 && S_ISCHR(info.st_mode)) {
        const unsigned deviceMajor = major(info.st_rdev);
        if (deviceMajor >= ptySlaveMajorFirst && deviceMajor <= ptySlaveMajorLast) {
            return true;
        }
    }
    return device.starts_with("/dev/pts/");
}

std::optional<LineProblem> applyLine(Handle port, const LineConfig& line, bool pseudoTerminal) {
    return applyTtyLine(port, line, pseudoTerminal);
}

std::string lineText(Handle port, bool pseudoTerminal) {
    termios t{};
    return ::tcgetattr(port, &t) == 0 ? ttyLineText(t, pseudoTerminal) : std::string("?");
}

// The port is open non-blocking: the driver takes what fits in its queue,
// a record whole.
std::size_t writeNow(Handle port, std::span<const uint8_t> bytes) {
    ssize_t written = 0;
    do {
        written = ::write(port, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

std::size_t sendNow(qintptr socket, std::span<const uint8_t> bytes) {
    ssize_t sent = 0;
    do {
        sent = ::send(static_cast<int>(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

void discardInput(Handle port) {
    ::tcflush(port, TCIFLUSH);
}

bool hungUp(Handle port) {
    pollfd probe{port, POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace quill::serialline
