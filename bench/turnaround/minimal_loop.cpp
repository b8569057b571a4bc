// SPDX-License-Identifier: MIT
// The smallest host that does a download's exchange: the erase request,
// then each record line of the hex file with CR LF, each one released by the
// device's XOFF and the byte after it. Blocking reads and writes on the
// terminal, the whole file in memory, nothing else: the yardstick for the
// host's turnaround per record.
//
//   minimal_loop DEVICE FILE

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned char XON = 0x11;
constexpr unsigned char XOFF = 0x13;

bool readByte(int fd, unsigned char& b) {
    return ::read(fd, &b, 1) == 1;
}

bool writeAll(int fd, const std::string& text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE FILE\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    // 38400 baud, mark parity, 8 data bits, 1 stop bit, raw.
    cfmakeraw(&tio);
    cfsetspeed(&tio, B38400);
    tio.c_cflag |= PARENB | CMSPAR | PARODD | CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);

    std::ifstream in(argv[2], std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> records;
    for (size_t at = 0; at < file.size();) {
        size_t end = file.find_first_of("\r\n", at);
        if (end == std::string::npos) {
            end = file.size();
        }
        if (end > at && file[at] == ':') {
            records.push_back(file.substr(at, end - at) + "\r\n");
        }
        at = end + 1;
    }

    unsigned char b = 0;
    if (!writeAll(fd, ":01000000FF00\r\n")) {
        return 1;
    }
    while (readByte(fd, b) && b != XOFF) {
    }
    while (readByte(fd, b) && b != XON) {
    }
    for (const std::string& record : records) {
        if (!writeAll(fd, record)) {
            return 1;
        }
        if (record.compare(0, 9, ":00000001") == 0) {
            break; // the end-of-file record: the device's answer is not awaited
        }
        while (readByte(fd, b) && b != XOFF) {
        }
        if (!readByte(fd, b)) {
            return 1;
        }
    }
    tcdrain(fd);
    ::close(fd);
    return 0;
}
