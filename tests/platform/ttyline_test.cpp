// SPDX-License-Identifier: MIT
// What the line settings ask of the terminal driver, seen through the
// TermiosIo seam: on a pseudo-terminal (whose read-back hides PARENB) and on
// drivers that keep, drop or refuse what they are asked for.

#include "platform/qt/ttyline.h"

#include "ptypair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quill {
namespace {

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

// The line as a driver would be asked for it: "38400 even 8N1 raw".
std::string describe(const termios& t) {
    std::string text = cfgetospeed(&t) == B9600    ? "9600"
                       : cfgetospeed(&t) == B38400 ? "38400"
                                                   : "other";
    text += cfgetispeed(&t) == cfgetospeed(&t) ? "" : "/in-differs";
    switch (t.c_cflag & (PARENB | PARODD | CMSPAR)) {
    case 0:
        text += " none";
        break;
    case PARENB:
        text += " even";
        break;
    case PARENB | PARODD | CMSPAR:
        text += " mark";
        break;
    default:
        text += " other-parity";
    }
    text += (t.c_cflag & CSIZE) == CS8 ? " 8" : " not-8";
    text += (t.c_cflag & CSTOPB) != 0 ? " 2stop" : "";
    text += (t.c_cflag & CRTSCTS) != 0 || (t.c_iflag & (IXON | IXOFF | IXANY)) != 0 ? " flow" : "";
    return text;
}

const LineConfig mark9600{9600, Parity::Mark, 8, StopBits::One};
const LineConfig even9600{9600, Parity::Even, 8, StopBits::One};
const LineConfig mark38400{38400, Parity::Mark, 8, StopBits::One};
const LineConfig even38400{38400, Parity::Even, 8, StopBits::One};

// Every change is asked of the driver in full, also when the pseudo-terminal's
// read-back (PARENB cleared) already looks like the wanted line: a fresh port
// switched to even parity, even again, and mark and even back and forth.
TEST(TtyLineTest, EveryLineIsRequestedInFullOnAPseudoTerminal) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    RecordingIo io(systemTermios());
    const struct {
        LineConfig cfg;
        const char* requested;
    } steps[] = {
        {even9600, "9600 even 8"},   {even9600, "9600 even 8"},   {mark9600, "9600 mark 8"},
        {even9600, "9600 even 8"},   {mark9600, "9600 mark 8"},   {mark38400, "38400 mark 8"},
        {even38400, "38400 even 8"}, {even38400, "38400 even 8"}, {mark38400, "38400 mark 8"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.requested);
        io.requests.clear();
        EXPECT_EQ(applyTtyLine(pty.slaveFd(), step.cfg, true, io), std::nullopt);
        ASSERT_EQ(io.requests.size(), 1u);
        EXPECT_EQ(describe(io.requests[0]), step.requested);
    }
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

TEST(TtyLineTest, WhatTheDriverDoesWithTheRequestIsReadBack) {
    const struct {
        const char* name;
        bool pseudoTerminal;
        tcflag_t heldParity; // the parity bits the driver holds before
        tcflag_t dropped;
        int refuseWith;
        LineConfig cfg;
        std::optional<LineProblem> expected;
    } cases[] = {
        {"real port keeps all", false, 0, 0, 0, even38400, std::nullopt},
        {"real port drops even", false, 0, PARENB, 0, even9600, LineProblem{"even parity", {}}},
        {"adapter cannot do mark", false, 0, CMSPAR, 0, mark9600, LineProblem{"mark parity", {}}},
        {"pty drops PARENB", true, 0, PARENB, 0, even38400, std::nullopt},
        {"pty drops CMSPAR", true, 0, CMSPAR, 0, mark38400, LineProblem{"mark parity", {}}},
        // A pty answers EINVAL when the line it holds is the one asked for.
        {"pty answers EINVAL", true, PARODD | CMSPAR, 0, EINVAL, mark9600, std::nullopt},
        {"real port answers EINVAL", false, PARENB | PARODD | CMSPAR, 0, EINVAL, mark9600,
         LineProblem{{}, std::strerror(EINVAL)}},
        {"device gone", true, 0, 0, EIO, even9600, LineProblem{{}, std::strerror(EIO)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDriver driver;
        // 9600, 8 data bits, and the parity of the case.
        driver.held.c_cflag = CS8 | CREAD | c.heldParity;
        cfsetispeed(&driver.held, B9600);
        cfsetospeed(&driver.held, B9600);
        driver.dropped = c.dropped;
        driver.refuseWith = c.refuseWith;
        RecordingIo io(driver);
        const std::optional<LineProblem> problem = applyTtyLine(3, c.cfg, c.pseudoTerminal, io);
        ASSERT_EQ(problem.has_value(), c.expected.has_value())
            << (problem ? problem->setting + problem->systemError : "");
        if (problem) {
            EXPECT_EQ(problem->setting, c.expected->setting);
            EXPECT_EQ(problem->systemError, c.expected->systemError);
        }
        ASSERT_EQ(io.requests.size(), 1u);
    }
}

} // namespace
} // namespace quill
