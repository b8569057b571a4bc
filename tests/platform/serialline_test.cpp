// SPDX-License-Identifier: MIT
// The line configuration: its text, what it asks of the terminal driver,
// seen through the TermiosIo seam, on a pseudo-terminal (whose read-back
// hides PARENB) and on drivers that keep, drop or refuse what they are asked
// for, and how a line the driver holds reads back.

#include "qt/serialline_unix.h"

#include "ptypair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace quill::serialline {
namespace {

TEST(LineConfig, ParsesValidTextsAndRejectsBadOnes) {
    const std::pair<const char*, LineConfig> cases[] = {
        {"9600,M,8,1", {9600, Parity::Mark, 8, StopBits::One}},
        {"38400,e,7,1", {38400, Parity::Even, 7, StopBits::One}},
        {"110,O,5,1.5", {110, Parity::Odd, 5, StopBits::OneAndHalf}},
        {"4000000,s,6,2", {4'000'000, Parity::Space, 6, StopBits::Two}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseLineConfig(text), expected) << text;
    }
    for (const char* text :
         {"", "9600,M,8", "9600,M,8,1,", ",M,8,1", "9600,,8,1", "9600,X,8,1", "9600,MM,8,1",
          "9600,M,9,1", "9600,M,4,1", "9600,M,8,3", "9600,M,8,1.0", "9600,M,8,1 ", " 9600,M,8,1",
          "9600x,M,8,1", "-9600,M,8,1", "0,M,8,1", "4000001,M,8,1", "99999999999,M,8,1",
          "9600;M;8;1"}) {
        EXPECT_FALSE(parseLineConfig(text).has_value()) << text;
    }
}

// Passes every call on to the next TermiosIo and keeps what was asked for.
struct RecordingIo final : TermiosIo {
    explicit RecordingIo(TermiosIo& next) : next(next) {}
    int get(int fd, termios& t) override { return next.get(fd, t); }
    int set(int fd, const termios& t) override {
        requests.push_back(t);
        return next.set(fd, t);
    }
    TermiosIo& next;
    std::vector<termios> requests;
};

// The line as a driver would be asked for it: "38400 even 8", and "2stop" or
// "flow" when asked for those.
std::string describe(const termios& t) {
    const speed_t speed = cfgetospeed(&t);
    const tcflag_t parity = t.c_cflag & (PARENB | PARODD | CMSPAR);
    std::string text = speed == B9600 ? "9600" : speed == B38400 ? "38400" : "other";
    text += cfgetispeed(&t) == speed ? "" : "/in-differs";
    text += parity == 0                            ? " none"
            : parity == PARENB                     ? " even"
            : parity == (PARENB | PARODD | CMSPAR) ? " mark"
                                                   : " other-parity";
    text += (t.c_cflag & CSIZE) == CS8 ? " 8" : " not-8";
    text += (t.c_cflag & CSTOPB) != 0 ? " 2stop" : "";
    text += (t.c_cflag & CRTSCTS) != 0 || (t.c_iflag & (IXON | IXOFF | IXANY)) != 0 ? " flow" : "";
    return text;
}

// Every change is asked of the driver in full, also when the pseudo-terminal's
// read-back (PARENB cleared) already looks like the wanted line: a fresh port
// switched to even parity, even again, and mark and even back and forth. On
// a real port, the pseudo-terminal's dropped parity is an error, never silence.
TEST(TtyLine, EveryLineIsRequestedInFullOnAPseudoTerminal) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    RecordingIo io(systemTermios());
    const std::pair<const char*, const char*> steps[] = {
        {"9600,E,8,1", "9600 even 8"},   {"9600,E,8,1", "9600 even 8"},
        {"9600,M,8,1", "9600 mark 8"},   {"9600,E,8,1", "9600 even 8"},
        {"9600,M,8,1", "9600 mark 8"},   {"38400,M,8,1", "38400 mark 8"},
        {"38400,E,8,1", "38400 even 8"}, {"38400,E,8,1", "38400 even 8"},
        {"38400,M,8,1", "38400 mark 8"},
    };
    for (const auto& [line, requested] : steps) {
        SCOPED_TRACE(line);
        io.requests.clear();
        EXPECT_EQ(applyTtyLine(pty.slaveFd(), *parseLineConfig(line), true, io), std::nullopt);
        ASSERT_EQ(io.requests.size(), 1u);
        EXPECT_EQ(describe(io.requests[0]), requested);
    }
    EXPECT_TRUE(isPseudoTerminal(pty.slaveFd(), "/tmp/link-to-a-pty"));
    const std::optional<LineProblem> onRealPort =
        applyTtyLine(pty.slaveFd(), *parseLineConfig("9600,M,8,1"), false);
    EXPECT_EQ(onRealPort.value_or(LineProblem{}).setting, "mark parity");
    const int null = ::open("/dev/null", O_RDWR);
    EXPECT_FALSE(isPseudoTerminal(null, "/dev/null"));
    ::close(null);
}

// A driver held as a termios value: what it keeps of a request, and the
// error it answers with.
struct FakeDriver final : TermiosIo {
    int get(int, termios& t) override {
        t = held;
        return 0;
    }
    int set(int, const termios& t) override {
        if (refuseWith != 0) {
            return refuseWith;
        }
        held = t;
        held.c_cflag &= ~dropped;
        return 0;
    }
    termios held{};
    tcflag_t dropped = 0;
    int refuseWith = 0;
};

TEST(TtyLine, WhatTheDriverDoesWithTheRequestIsReadBack) {
    const tcflag_t mark = PARENB | PARODD | CMSPAR;
    const struct {
        const char* name;
        bool pseudoTerminal;
        tcflag_t heldParity; // the parity bits the driver holds before
        tcflag_t dropped;
        int refuseWith;
        const char* line;
        std::string problem; // the setting not applied | the system's words
    } cases[] = {
        {"real port keeps all", false, 0, 0, 0, "38400,E,8,1", ""},
        {"real port drops even", false, 0, PARENB, 0, "9600,E,8,1", "even parity|"},
        {"adapter cannot do mark", false, 0, CMSPAR, 0, "9600,M,8,1", "mark parity|"},
        {"pty drops PARENB", true, 0, PARENB, 0, "38400,E,8,1", ""},
        {"pty drops CMSPAR", true, 0, CMSPAR, 0, "38400,M,8,1", "mark parity|"},
        // A pty answers EINVAL when the line it holds is the one asked for.
        {"pty answers EINVAL", true, PARODD | CMSPAR, 0, EINVAL, "9600,M,8,1", ""},
        {"real port answers EINVAL", false, mark, 0, EINVAL, "9600,M,8,1",
         "|" + std::string(std::strerror(EINVAL))},
        {"device gone", true, 0, 0, EIO, "9600,E,8,1", "|" + std::string(std::strerror(EIO))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDriver driver; // 9600, 8 data bits, and the parity of the case
        driver.held.c_cflag = CS8 | CREAD | c.heldParity;
        cfsetispeed(&driver.held, B9600);
        cfsetospeed(&driver.held, B9600);
        driver.dropped = c.dropped;
        driver.refuseWith = c.refuseWith;
        RecordingIo io(driver);
        const std::optional<LineProblem> problem =
            applyTtyLine(3, *parseLineConfig(c.line), c.pseudoTerminal, io);
        EXPECT_EQ(problem.has_value(), !c.problem.empty());
        EXPECT_EQ(problem ? problem->setting + "|" + problem->systemError : "", c.problem);
        EXPECT_EQ(io.requests.size(), 1u);
    }
}

// What the driver keeps of a line reads back as that line's text; a
// pseudo-terminal, which drops PARENB, shows even and none alike.
TEST(TtyLine, TheHeldLineReadsBackAsItsText) {
    // The line, whether on a pseudo-terminal, its text read back.
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"9600,M,8,1", false, "9600,M,8,1"},    {"38400,E,8,1", false, "38400,E,8,1"},
        {"19200,O,7,2", false, "19200,O,7,2"},  {"4800,S,5,1", false, "4800,S,5,1"},
        {"9600,N,6,1", false, "9600,N,6,1"},    {"9600,M,8,1", true, "9600,M,8,1"},
        {"38400,E,8,1", true, "38400,E/N,8,1"}, {"9600,N,8,1", true, "9600,E/N,8,1"},
        {"12345,E,8,1", false, "?,E,8,1"}, // no constant: left to QSerialPort
    };
    for (const auto& [line, pseudoTerminal, readBack] : cases) {
        SCOPED_TRACE(line);
        FakeDriver driver;
        driver.dropped = pseudoTerminal ? PARENB : 0;
        ASSERT_EQ(applyTtyLine(3, *parseLineConfig(line), pseudoTerminal, driver), std::nullopt);
        EXPECT_EQ(ttyLineText(driver.held, pseudoTerminal), readBack);
    }
}

} // namespace
} // namespace quill::serialline
