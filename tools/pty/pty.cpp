// SPDX-License-Identifier: MIT
#include "pty/pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace quill::pty {

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void Fd::reset() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
}

std::optional<Pty> Pty::open(std::string& error) {
    Pty pty;
    pty.m_master = Fd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (pty.master() < 0 || grantpt(pty.master()) != 0 || unlockpt(pty.master()) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return std::nullopt;
    }
    char name[128];
    if (ptsname_r(pty.master(), name, sizeof name) != 0) {
        error = "cannot name the pseudo-terminal";
        return std::nullopt;
    }
    pty.m_slavePath = name;
    pty.m_slave = Fd(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    // Raw from the start: with the default cooked settings the terminal would
    // echo what the device says, and its own IXON would swallow the XOFF and
    // XON meant for a host that has not set the line up yet.
    termios tio{};
    if (pty.m_slave.get() < 0 || tcgetattr(pty.m_slave.get(), &tio) != 0) {
        error = "cannot open " + pty.m_slavePath + ": " + std::strerror(errno);
        return std::nullopt;
    }
    cfmakeraw(&tio);
    tcsetattr(pty.m_slave.get(), TCSANOW, &tio);
    return pty;
}

termios Pty::line() const {
    termios tio{};
    tcgetattr(m_slave.get(), &tio);
    return tio;
}

Parity Pty::parity() const {
    // The pty driver clears PARENB but keeps CMSPAR and PARODD as the host
    // set them, so mark, space and odd can be told apart from the rest.
    const termios tio = line();
    const bool stick = (tio.c_cflag & CMSPAR) != 0;
    const bool odd = (tio.c_cflag & PARODD) != 0;
    if (stick) {
        return odd ? Parity::Mark : Parity::Space;
    }
    return odd ? Parity::Odd : Parity::EvenOrNone;
}

bool Pty::write(std::span<const uint8_t> bytes) const {
    return ::write(m_master.get(), bytes.data(), bytes.size()) ==
           static_cast<ssize_t>(bytes.size());
}

int Pty::unreadByHost() const {
    int count = 0;
    return ioctl(m_slave.get(), FIONREAD, &count) == 0 ? count : 0;
}

std::optional<Link> Link::create(const std::string& path, const std::string& target,
                                 std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        // Replace an old link of ours, never a file someone may need.
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symlink";
            return std::nullopt;
        }
        ::unlink(path.c_str());
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return Link(path, target);
}

Link::Link(Link&& other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_target(std::move(other.m_target)) {}

Link::~Link() {
    if (m_path.empty()) {
        return;
    }
    std::vector<char> buffer(m_target.size() + 2);
    const ssize_t n = readlink(m_path.c_str(), buffer.data(), buffer.size());
    if (n >= 0 && std::string(buffer.data(), static_cast<size_t>(n)) == m_target) {
        ::unlink(m_path.c_str());
    }
}

} // namespace quill::pty
