// SPDX-License-Identifier: MIT
// The lock's pieces: where the system file is found, what it fixes over
// the user's file, the gate each run passes, the password and its wait.

#include "lock/locktexts.h"
#include "lock/unlockhash.h"
#include "lock/windowlock.h"
#include "qt/qtsettingsstore.h"
#include "testtext.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quill {
namespace {

namespace text = lock::text;
using test::writeFile;

std::string iniIn(const QTemporaryDir& dir, const std::string& folder, const std::string& body) {
    QDir(dir.path()).mkpath(QString::fromStdString(folder + "/quill"));
    const std::string file =
        dir.filePath(QString::fromStdString(folder)).toStdString() + "/quill/quill.ini";
    writeFile(file, body);
    return file;
}

TEST(SystemFile, FoundInTheFirstXdgFolderThatHoldsItAndFixesWhatItHolds) {
    const QTemporaryDir dir;
    const std::string system =
        iniIn(dir, "b", "[Station]\nLocked=true\n[History]\nURL=postgresql://st@db/quill\n");
    iniIn(dir, "c", "[Station]\nLocked=false\n");
    const std::string a = dir.filePath(QStringLiteral("a")).toStdString(); // no file there
    const std::string b = dir.filePath(QStringLiteral("b")).toStdString();
    const std::string c = dir.filePath(QStringLiteral("c")).toStdString();
    for (const auto& [dirs, expected] : std::vector<std::pair<std::string, std::string>>{
             {"relative:" + a + ':' + b + ':' + c, system},
             {a, "/etc/xdg/quill/quill.ini"},
             {"", "/etc/xdg/quill/quill.ini"}}) {
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(dirs));
        EXPECT_EQ(systemSettingsFile("quill"), expected) << dirs;
    }
    qunsetenv("XDG_CONFIG_DIRS");

    const std::string user = dir.filePath(QStringLiteral("user.ini")).toStdString();
    writeFile(user, "[History]\nURL=sqlite:mine\n[Port]\nCOM=2\n");
    QtSettingsStore store(user, system);
    EXPECT_EQ(store.GetSetting("History", "URL"), "postgresql://st@db/quill");
    EXPECT_EQ(store.GetSetting("Port", "COM"), "2");
    store.SaveSetting("History", "URL", "sqlite:other"); // not written: the system's holds
    EXPECT_TRUE(test::contains(test::readFile(user), "URL=sqlite:mine"));
    const FixedSettings fixed = store.fixedSettings();
    EXPECT_EQ(fixed.file, system);
    ASSERT_EQ(fixed.overridden.size(), 1U);
    EXPECT_EQ(fixed.overridden[0].key, "URL");
    EXPECT_TRUE(lockStateOf(fixed).locked);
}

LockState locked(std::vector<FixedSetting> overridden = {}, bool unreadable = false) {
    FixedSettings fixed;
    fixed.file = "/etc/xdg/quill/quill.ini";
    fixed.unreadable = unreadable; // and then nothing of it was read
    if (!unreadable) {
        fixed.values = {{"Station", "Locked", "true"}, {"History", "URL", "postgresql://st@db/q"}};
    }
    fixed.overridden = std::move(overridden);
    return lockStateOf(fixed);
}

TEST(Gate, AFreeRunIsRefusedAndWhatTheSystemFixesCannotBeChanged) {
    const std::string option = std::string(text::Locked) +
                               "--history-url differs from [History] URL, which "
                               "/etc/xdg/quill/quill.ini fixes. Leave the option out.";
    const std::string user = std::string(text::Locked) +
                             "[History] URL in your settings differs from the value that "
                             "/etc/xdg/quill/quill.ini fixes. Remove it from your settings.";
    LockState unlocked = locked();
    unlocked.unlocked = true;
    struct Case {
        const char* name;
        LockState lock;
        std::string recipe, order, url, refused;
    };
    for (const Case& c : std::vector<Case>{
             {"not locked", lockStateOf({}), "", "", "postgresql://me@x/y", ""},
             {"free run", locked(), "", "", "", text::FreeRunRefused},
             {"recipe", locked(), "board-a", "", "", ""},
             {"work order", locked(), "", "WO-17", "", ""},
             {"same url", locked(), "board-a", "", "postgresql://st@db/q", ""},
             {"other url", locked(), "board-a", "", "postgresql://me@x/y", option},
             {"unlocked free run", unlocked, "", "", "", ""},
             {"unlocked, other url", unlocked, "", "", "postgresql://me@x/y", option},
             {"user file", locked({{"History", "URL", "sqlite:mine"}}), "", "WO-17", "", user},
             {"unreadable", locked({}, true), "board-a", "", "",
              text::SystemFileUnreadable + std::string("/etc/xdg/quill/quill.ini") +
                  text::SystemFileUnreadableEnd}}) {
        RunRequest request;
        request.recipe = c.recipe;
        request.workOrder = c.order;
        request.historyUrl = c.url;
        EXPECT_EQ(lockRefusal(c.lock, request).value_or(""), c.refused) << c.name;
    }
}

TEST(WindowLock, TheRightPasswordUnlocksAndNothingElseDoes) {
    const std::string hash = makeUnlockHash("open sesame").value();
    const std::string salt = "c2FsdHNhbHRzYWx0c2FsdA==";
    const std::string good = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    struct Case {
        std::string line;
        WindowLock::Try tried;
    };
    for (const Case& c : std::vector<Case>{
             {hash, WindowLock::Try::Unlocked},
             {"", WindowLock::Try::NoHash},
             {"sha256$200000$" + salt + '$' + good, WindowLock::Try::Malformed},
             {"pbkdf2-sha256$1000$" + salt + '$' + good, WindowLock::Try::Malformed},
             {"pbkdf2-sha256$99999999999$" + salt + '$' + good, WindowLock::Try::Malformed},
             {"pbkdf2-sha256$2e5$" + salt + '$' + good, WindowLock::Try::Malformed},
             {"pbkdf2-sha256$200000$c2FsdA==$" + good, WindowLock::Try::Malformed},
             {"pbkdf2-sha256$200000$" + salt + "$AAAA", WindowLock::Try::Malformed},
             {"pbkdf2-sha256$200000$" + salt + "$" + good + "$", WindowLock::Try::Malformed},
             {"pbkdf2-sha256$200000$" + salt + "$A*" + good.substr(2), WindowLock::Try::Malformed},
             {"pbkdf2-sha256$200000$" + salt, WindowLock::Try::Malformed}}) {
        LockState state = locked();
        state.unlockHash = c.line;
        WindowLock lock(state);
        EXPECT_EQ(lock.tryUnlock("open sesame", 0), c.tried) << c.line;
        EXPECT_EQ(lock.closed(), c.tried != WindowLock::Try::Unlocked) << c.line;
        EXPECT_EQ(lock.refusal({}).has_value(), lock.closed()) << c.line;
    }
}

// A wrong password doubles the wait before the next try is looked at:
// 1 s, 2 s, ... up to 30 s. The times are the caller's steady clock.
TEST(WindowLock, EachWrongPasswordDoublesTheWait) {
    LockState state = locked();
    state.unlockHash = makeUnlockHash("open sesame").value();
    WindowLock lock(state);
    EXPECT_EQ(lock.tryUnlock("guess", 10'000), WindowLock::Try::Wrong);
    EXPECT_EQ(lock.waitMs(10'000), 1000);
    EXPECT_EQ(lock.waitMs(10'400), 600);
    // While it waits, not even the right one is looked at.
    EXPECT_EQ(lock.tryUnlock("open sesame", 10'999), WindowLock::Try::Waiting);
    EXPECT_TRUE(lock.closed());
    EXPECT_EQ(lock.tryUnlock("guess", 11'000), WindowLock::Try::Wrong);
    EXPECT_EQ(lock.waitMs(11'000), 2000);

    UnlockThrottle throttle;
    int64_t now = 0;
    for (const int64_t expected : {1000, 2000, 4000, 8000, 16000, 30000, 30000}) {
        throttle.failed(now);
        EXPECT_EQ(throttle.waitMs(now), expected);
        now += expected;
        EXPECT_EQ(throttle.waitMs(now), 0);
    }
}

} // namespace
} // namespace quill
