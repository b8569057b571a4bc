// SPDX-License-Identifier: MIT
// The window on a locked station: Start refuses a free run in a box, the
// title says Locked, and the engineer's password in "Unlock..." unlocks
// it for the session; a wrong one, a missing or a malformed hash line
// never does.

#include "uitest.h"

#include "app/startoptions.h"
#include "lock/locktexts.h"
#include "lock/unlockhash.h"
#include "ui/frmstation.h"
#include "ui/frmunlock.h"
#include "ui/mainform.h"
#include "ui/uitexts.h"

#include <QMessageBox>

namespace quill::test {
namespace {

namespace locktext = lock::text;

class LockedWindow : public WindowTest {
  protected:
    void startLocked(const std::string& hash) {
        writeFile(path("system.ini"), "[Station]\nLocked=true\nUnlockHash=" + hash + '\n');
        app.reset();
        app = std::make_unique<Application>(
            std::make_unique<QtSettingsStore>(path("quill.ini"), path("system.ini")), "");
        script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
        app->Main();
    }
    void unlock(const char* password) {
        script.then("frmUnlock", [password](QWidget* d) {
            child<QLineEdit>(d, "txtPassword")->setText(QString::fromLatin1(password));
            click(d, {"cmdOK"});
        });
        control<QAction>("mnuUnlock")->trigger();
    }
};

TEST_F(LockedWindow, StartRefusesAFreeRunUntilTheEngineersPasswordUnlocks) {
    startLocked(makeUnlockHash("open sesame").value());
    script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, hexPath); });
    control<QAction>("mnuFileOpen")->trigger();
    ASSERT_TRUE(waitFor([&] { return control<QWidget>("cmdStart")->isEnabled(); }, 5000));
    EXPECT_TRUE(app->mainForm().windowTitle().endsWith(qtext(locktext::LockedTitle)));
    QString said;
    script.answer(&said);
    click(&app->mainForm(), {"cmdStart"});
    EXPECT_EQ(said, qtext(locktext::FreeRunRefused));
    // The station window's rounds are free runs too.
    const std::vector<std::string_view> words{"--station", "-p", "COM1", hexPath};
    app->Station(stationStart(words)->given);
    frmStation* station = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        station = qobject_cast<frmStation*>(w) != nullptr ? qobject_cast<frmStation*>(w) : station;
    }
    ASSERT_TRUE(station != nullptr && QTest::qWaitForWindowActive(station));
    EXPECT_TRUE(station->windowTitle().endsWith(qtext(locktext::LockedTitle)));
    said.clear();
    script.answer(&said);
    QTest::keyClick(station, Qt::Key_F5);
    EXPECT_EQ(said, qtext(locktext::FreeRunRefused));
    EXPECT_FALSE(station->running());

    unlock("open sesame");
    EXPECT_EQ(script.pending(), 0U);
    EXPECT_TRUE(app->mainForm().lock().state().unlocked);
    EXPECT_TRUE(app->mainForm().windowTitle().endsWith(qtext(locktext::UnlockedTitle)));
    script.press(&said, QMessageBox::Cancel);
    click(&app->mainForm(), {"cmdStart"});
    EXPECT_EQ(said, QStringLiteral("Prepare device for download at 9600\n"));
}

TEST_F(LockedWindow, AWrongPasswordOrABadLineLeavesItLockedAndSaysWhy) {
    for (const auto& [line, said] : std::vector<std::pair<std::string, QString>>{
             {makeUnlockHash("open sesame").value(),
              qtext(locktext::WrongPassword) + QStringLiteral(" Next try in 1 s.")},
             {"", qtext(locktext::NoUnlockHash)},
             {"pbkdf2-sha256$200000$c2FsdA==$AAAA", qtext(locktext::MalformedHash)}}) {
        startLocked(line);
        script.then("frmUnlock", [&](QWidget* d) {
            child<QLineEdit>(d, "txtPassword")->setText(QStringLiteral("guess"));
            child<QAbstractButton>(d, "cmdOK")->click();
            EXPECT_EQ(child<QLabel>(d, "lblSaid")->text(), said);
            EXPECT_FALSE(child<QAbstractButton>(d, "cmdOK")->isEnabled());
            qobject_cast<QDialog*>(d)->reject();
        });
        control<QAction>("mnuUnlock")->trigger();
        EXPECT_EQ(script.pending(), 0U);
        EXPECT_FALSE(app->mainForm().lock().state().unlocked);
    }
}

} // namespace
} // namespace quill::test
