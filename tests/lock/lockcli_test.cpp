// SPDX-License-Identifier: MIT
// quill-cli on a locked station: the system file is found through
// XDG_CONFIG_DIRS, a free run and a setting that differs from a fixed one
// end with exit status 2 before any port is touched, and the engineer's
// password line is printed to paste.

#include "harness.h"
#include "lock/locktexts.h"
#include "lock/unlockhash.h"

#include <QDir>

#include <csignal>

#include <gtest/gtest.h>

namespace quill::e2e {
namespace {

namespace text = lock::text;

struct LockedStation {
    Scratch s;
    std::string systemFile = s.path("etc/quill/quill.ini");
    LockedStation() {
        QDir().mkpath(QString::fromStdString(s.path("etc/quill")));
        QDir().mkpath(QString::fromStdString(s.path("config/quill")));
        writeFile(systemFile,
                  "[Station]\nLocked=true\n[History]\nURL=" + s.path("fixed.sqlite") + '\n');
        s.setVariable("XDG_CONFIG_DIRS", s.path("none") + ':' + s.path("etc"));
    }
};

TEST(LockedCli, RefusesAFreeRunAndAnyOverrideOfAFixedSetting) {
    LockedStation station;
    const std::string option = std::string(text::Locked) + "--history-url differs from " +
                               "[History] URL, which " + station.systemFile;
    const std::string user = std::string(text::Locked) + "[History] URL in your settings " +
                             "differs from the value that " + station.systemFile;
    for (const auto& [args, said] : std::vector<std::pair<std::string, std::string>>{
             {"-p /dev/null -y app.hex", text::FreeRunRefused},
             {"--repeat -p /dev/null app.hex", text::FreeRunRefused},
             {"--history-url " + station.s.path("mine.sqlite") + " -y app.hex", option}}) {
        const Result r = runCli(station.s, args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_TRUE(contains(r.err, said)) << r.err;
    }
    writeFile(station.s.path("config/quill/quill.ini"),
              "[History]\nURL=" + station.s.path("mine.sqlite") + '\n');
    const Result r = runCli(station.s, "--json app.hex");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.err, user)) << r.err;
    EXPECT_EQ(r.json().value(QStringLiteral("outcome")).toString(), QStringLiteral("usage"));
    // Listing the history is not a run: the lock leaves it alone.
    EXPECT_EQ(runCli(station.s, "--history").code, 0);
}

TEST(LockedCli, PrintsTheLineOfThePasswordReadFromStandardInput) {
    Scratch s;
    const Result r = runCli(s, "--lock-password-hash", nullptr, "open sesame\n");
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(r.out.starts_with(text::HashKey)) << r.out;
    const std::string line = r.out.substr(std::string(text::HashKey).size());
    EXPECT_EQ(checkUnlockHash(line.substr(0, line.find('\n')), "open sesame"), UnlockCheck::Match);
    EXPECT_EQ(runCli(s, "--lock-password-hash", nullptr, "\n").code, 2); // an empty password
}

// Ctrl+C or a closed terminal at the prompt ends quill-cli as the signal
// does, and the terminal echoes again.
TEST(LockedCli, ASignalAtThePasswordPromptLeavesTheEchoOn) {
    Scratch s;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Cli cli(s, "--lock-password-hash", "", nullptr, true);
        ASSERT_TRUE(cli.waitSaid(text::PasswordPrompt)) << signal;
        ASSERT_FALSE(cli.terminalLine().c_lflag & ECHO) << signal; // while it is typed
        cli.signal(signal);
        EXPECT_EQ(cli.finish().code, -1) << signal; // ended by the signal
        EXPECT_TRUE(cli.terminalLine().c_lflag & ECHO) << signal;
    }
}

} // namespace
} // namespace quill::e2e
