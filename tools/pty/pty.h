// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal standing in for a serial cable (Linux): the host under
// test opens the slave as its serial port, and whoever plays the device
// reads and writes the master. quill-devsim and the tests both use it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <termios.h>
#include <utility>

namespace quill::pty {

// A file descriptor closed on destruction.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    void reset();

  private:
    int m_fd = -1;
};

// The parity the host set on the slave, as far as a pseudo-terminal tells:
// its driver clears PARENB, so even parity and none look alike.
enum class Parity { EvenOrNone, Odd, Mark, Space };

class Pty {
  public:
    // Opens master and slave; the slave starts raw. Empty with `error` set on failure.
    static std::optional<Pty> open(std::string& error);

    int master() const { return m_master.get(); }
    // The slave as this side holds it open: its line settings stay readable.
    int slave() const { return m_slave.get(); }
    const std::string& slavePath() const { return m_slavePath; }
    // The slave's line configuration as the kernel holds it.
    termios line() const;
    Parity parity() const;
    // Writes all of `bytes` to the master: the device speaks.
    bool write(std::span<const uint8_t> bytes) const;
    // Bytes the device sent that the host has not read yet.
    int unreadByHost() const;
    // The cable is pulled: the host sees a hang-up.
    void hangUp() { m_master.reset(); }

  private:
    Fd m_master;
    // Held open so that the terminal does not hang up between two opens by
    // the host, so that what is written before the host reads it waits
    // there, and so that the host's line settings can be read.
    Fd m_slave;
    std::string m_slavePath;
};

// A symlink to the pty, replacing an older symlink of that name; removed
// on destruction if it still points to the pty.
class Link {
  public:
    static std::optional<Link> create(const std::string& path, const std::string& target,
                                      std::string& error);
    Link(Link&& other) noexcept;
    Link& operator=(Link&&) = delete;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link();

  private:
    Link(std::string path, std::string target)
        : m_path(std::move(path)), m_target(std::move(target)) {}
    std::string m_path;
    std::string m_target;
};

} // namespace quill::pty
