// SPDX-License-Identifier: MIT
#include "qt/ttyline.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <utility>

namespace quill {
namespace {

// Unix98 pseudo-terminal slaves use majors 136 to 143.
constexpr unsigned ptySlaveMajorFirst = 136;
constexpr unsigned ptySlaveMajorLast = 143;

constexpr tcflag_t parityBits = PARENB | PARODD | CMSPAR;

std::optional<speed_t> speedConstant(int32_t baud) {
    static constexpr std::array<std::pair<int32_t, speed_t>, 30> table{{
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    }};
    for (const auto& [rate, constant] : table) {
        if (rate == baud) {
            return constant;
        }
    }
    return std::nullopt; // a rate without a constant is left as QSerialPort set it
}

tcflag_t parityFlags(Parity parity) {
    // In the order of enum Parity: none, even, odd, mark, space.
    static constexpr std::array<tcflag_t, 5> flags{0, PARENB, PARENB | PARODD,
                                                   PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
    return flags.at(static_cast<std::size_t>(parity));
}

tcflag_t sizeFlag(int dataBits) {
    static constexpr std::array<tcflag_t, 4> flags{CS5, CS6, CS7, CS8};
    return flags.at(static_cast<std::size_t>(dataBits - 5));
}

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

bool isPseudoTerminal(int fd, const std::string& devicePath) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISCHR(info.st_mode)) {
        const unsigned deviceMajor = major(info.st_rdev);
        if (deviceMajor >= ptySlaveMajorFirst && deviceMajor <= ptySlaveMajorLast) {
            return true;
        }
    }
    return devicePath.starts_with("/dev/pts/");
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
                     parityFlags(cfg.parity) | sizeFlag(cfg.dataBits) |
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

} // namespace quill
