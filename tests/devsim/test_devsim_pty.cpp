// quill-devsim on a real pseudo-terminal: started as a process, talked to as
// the downloader would, with bounded waits on what it answers.

#include "devsim/devicemodel.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace quill::devsim {
namespace {

using namespace std::chrono_literals;
constexpr auto kWait = 5s; // bound on every wait; a working device answers in milliseconds

// Waits until `fd` is readable or hung up, at most until `deadline`.
short waitFor(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (r > 0)
            return pfd.revents;
        if (r == 0 || errno != EINTR)
            return 0;
    }
}

// Reads exactly `n` bytes or what came before the bound ran out.
std::vector<uint8_t> readBytes(int fd, size_t n) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    std::vector<uint8_t> got;
    while (got.size() < n && (waitFor(fd, deadline) & POLLIN) != 0) {
        uint8_t b[64];
        const ssize_t r = ::read(fd, b, n - got.size());
        if (r <= 0)
            break;
        got.insert(got.end(), b, b + r);
    }
    return got;
}

class Devsim {
  public:
    explicit Devsim(std::vector<std::string> args) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), QUILL_DEVSIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&m_pid, QUILL_DEVSIM_PATH, &actions, nullptr, argv.data(), environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_stdout = out[0];
        // The first line is the terminal to open.
        for (auto b = readBytes(m_stdout, 1); !b.empty() && b[0] != '\n';
             b = readBytes(m_stdout, 1))
            m_path += static_cast<char>(b[0]);
    }
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;
    ~Devsim() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_stdout);
    }

    const std::string& path() const { return m_path; }

    // Waits (bounded) for the program to end by itself; its exit code, or -1.
    int exitCode() {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        for (;;) {
            if ((waitFor(m_stdout, deadline) & (POLLIN | POLLHUP)) == 0)
                return -1; // still running
            char b[64];
            if (::read(m_stdout, b, sizeof b) <= 0)
                break; // stdout closed: the program is ending
        }
        int status = 0;
        if (::waitpid(m_pid, &status, 0) != m_pid)
            return -1;
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t m_pid = 0;
    int m_stdout = -1;
    std::string m_path;
};

// On a pty, glibc's tcsetattr may report EINVAL for a parity request that the
// kernel has applied (the pty driver drops PARENB, and the wrapper notices);
// so the outcome is judged by what the terminal holds afterwards.
void setParity(int fd, tcflag_t parity) {
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0) << std::strerror(errno);
    cfmakeraw(&tio);
    tio.c_cflag = (tio.c_cflag & ~(PARENB | PARODD | CMSPAR)) | parity;
    tcsetattr(fd, TCSANOW, &tio);
    termios now{};
    ASSERT_EQ(tcgetattr(fd, &now), 0);
    EXPECT_EQ(now.c_cflag & (PARODD | CMSPAR), parity & (PARODD | CMSPAR));
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO), 0u);
}

// Opens the terminal as the downloader does: raw, 8 data bits, the given parity.
int openPort(const std::string& path, tcflag_t parity) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    setParity(fd, parity);
    return fd;
}

constexpr tcflag_t kMark = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kEven = PARENB;

void write(int fd, std::string_view text) {
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

void write(int fd, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

using Bytes = std::vector<uint8_t>;

TEST(DevsimProgram, ManualAnswersTheEraseRequestWithXoffThenXon) {
    Devsim devsim({});
    ASSERT_FALSE(devsim.path().empty());
    const int port = openPort(devsim.path(), kMark);
    write(port, ":01000000FF00\r\n");
    EXPECT_EQ(readBytes(port, 1), Bytes{kXoff});
    EXPECT_EQ(readBytes(port, 1), Bytes{kXon});
    ::close(port);
}

TEST(DevsimProgram, TrackerHandshakeAtEvenParityThenDownloadAtMark) {
    Devsim devsim({"--device", "tracker", "--reboot-ms", "10"});
    const int port = openPort(devsim.path(), kEven);
    write(port, Bytes{0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00});
    EXPECT_EQ(readBytes(port, 1), Bytes{kAck});
    write(port, Bytes{0x02, 0x04, 0x0F, 0x00, 0x23, 0x38, 0x92, 0x00});
    EXPECT_EQ(readBytes(port, 1), Bytes{kAck});
    setParity(port, kMark);
    EXPECT_EQ(readBytes(port, 1), Bytes{kXon});
    write(port, ":01000000FF00\r\n");
    EXPECT_EQ(readBytes(port, 2), (Bytes{kXoff, kXon}));
    ::close(port);
}

TEST(DevsimProgram, WritesTheImageAndExitsAfterTheDownload) {
    const auto dir = std::filesystem::path(testing::TempDir());
    const auto image = dir / ("quill_devsim_" + std::to_string(::getpid()) + ".bin");
    const auto link = dir / ("quill_devsim_" + std::to_string(::getpid()) + ".tty");
    Devsim devsim(
        {"--exit-after-download", "--burst", "--image", image.string(), "--link", link.string()});
    EXPECT_EQ(std::filesystem::read_symlink(link), devsim.path());
    const int port = openPort(link.string(), kMark);
    for (const char* line : {":01000000FF00\r\n", ":020010001234A8\r\n", ":00000001FF\r\n"}) {
        write(port, line);
        EXPECT_EQ(readBytes(port, 2), (Bytes{kXoff, kXon})) << line;
    }
    EXPECT_EQ(devsim.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    std::ifstream in(image, std::ios::binary);
    EXPECT_EQ((Bytes{std::istreambuf_iterator<char>(in), {}}), (Bytes{0x12, 0x34}));
    std::filesystem::remove(image);
    ::close(port);
}

TEST(DevsimProgram, UnplugHangsUpWhenARecordFollowsTheLastOneAnswered) {
    Devsim devsim({"--unplug-after", "1", "--burst"});
    const int port = openPort(devsim.path(), kMark);
    write(port, ":01000000FF00\r\n");
    EXPECT_EQ(readBytes(port, 2), (Bytes{kXoff, kXon}));
    write(port, ":020010001234A8\r\n");
    EXPECT_EQ(readBytes(port, 2), (Bytes{kXoff, kXon}));
    write(port, ":0200120056781E\r\n");
    EXPECT_EQ(readBytes(port, 1), Bytes{}); // never answered: the line goes dead
    EXPECT_NE(waitFor(port, std::chrono::steady_clock::now() + kWait) & POLLHUP, 0);
    EXPECT_EQ(devsim.exitCode(), 0);
    ::close(port);
}

} // namespace
} // namespace quill::devsim
