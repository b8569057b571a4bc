// Start-up and the "COM Setup" dialog: what it shows from the stored
// settings, its buttons, its messages, and the keys it does not take.

#include "uitest.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quill::test {
namespace {

struct Shown {
    QString caption;
    bool modal = false;
    QWidget* owner = nullptr;
    std::vector<bool> ports; // optPort0..3 selected
    std::vector<bool> bauds; // optBaud0..1 selected
    std::vector<bool> portsEnabled;
};

std::function<void(QWidget*)> record(Shown& shown) {
    return [&shown](QWidget* dialog) {
        shown.caption = dialog->windowTitle();
        shown.modal = dialog->isModal();
        shown.owner = dialog->parentWidget();
        for (int i = 0; i < 4; ++i) {
            auto* b = dialog->findChild<QRadioButton*>(QStringLiteral("optPort%1").arg(i));
            shown.ports.push_back(b->isChecked());
            shown.portsEnabled.push_back(b->isEnabled());
        }
        for (int i = 0; i < 2; ++i) {
            shown.bauds.push_back(
                dialog->findChild<QRadioButton*>(QStringLiteral("optBaud%1").arg(i))->isChecked());
        }
    };
}

QString panel(Application& app, int n) {
    return app.mainForm().findChild<QLabel*>(QStringLiteral("Panel%1").arg(n))->text();
}

struct StoredCase {
    const char* name;
    std::map<std::string, std::string> port;
    const char* device; // null: not stored
    std::vector<bool> ports, bauds;
    bool manual, tracker;
    friend void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.name; }
};

class StartUp : public testing::TestWithParam<StoredCase> {};

TEST_P(StartUp, ShowsTheComSetupDialogWithTheStoredChoice) {
    const StoredCase& c = GetParam();
    ScratchSettings settings;
    for (const auto& [key, value] : c.port) {
        settings.set("Port", key, value);
    }
    if (c.device != nullptr) {
        settings.set("Option", "DEVICE", c.device);
    }
    auto app = settings.startApplication();
    Shown shown;
    bool manual = false, tracker = false;
    ModalScript script;
    script.then(clickInDialog("frmComSetup", "cmdCancel", [&](QWidget* dialog) {
        record(shown)(dialog);
        manual =
            app->mainForm().findChild<QAction*>(QStringLiteral("mnuDeviceDefault"))->isChecked();
        tracker =
            app->mainForm().findChild<QAction*>(QStringLiteral("mnuDeviceTracker"))->isChecked();
    }));
    app->Main();

    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(shown.caption, QStringLiteral("COM Setup"));
    EXPECT_TRUE(shown.modal);
    EXPECT_EQ(shown.owner, &app->mainForm());
    EXPECT_EQ(shown.ports, c.ports);
    EXPECT_EQ(shown.bauds, c.bauds);
    // No port of this test is present: a stored one shows selected but disabled.
    EXPECT_EQ(shown.portsEnabled, std::vector<bool>(4, false));
    EXPECT_EQ(manual, c.manual);
    EXPECT_EQ(tracker, c.tracker);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StartUp,
    testing::Values(
        StoredCase{"Stored",
                   {{"COM", "2"}, {"BAUD", "38400"}},
                   nullptr,
                   {false, true, false, false},
                   {false, true},
                   true,
                   false},
        StoredCase{"NothingStored",
                   {},
                   nullptr,
                   {false, false, false, false},
                   {false, false},
                   true,
                   false},
        StoredCase{"Tracker",
                   {{"COM", "4"}, {"BAUD", "9600"}},
                   "1",
                   {false, false, false, true},
                   {true, false},
                   false,
                   true},
        StoredCase{
            "DeviceOutOfRange", {}, "7", {false, false, false, false}, {false, false}, true, false},
        StoredCase{"Garbage",
                   {{"COM", "two"}, {"BAUD", "fast"}},
                   "Tracker",
                   {false, false, false, false},
                   {false, false},
                   true,
                   false}),
    [](const testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.name); });

// COM1 is a pseudo-terminal, so that OK has a port to open.
class ComSetupDialog : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        settings.set("PortNames", "COM1", device.slavePath());
        app = settings.startApplication();
    }
    ScratchSettings settings;
    PtyDevice device{devsim::Config{}};
    std::unique_ptr<Application> app;
    ModalScript script;
};

TEST_F(ComSetupDialog, ClickedChoiceIsOpenedShownAndStored) {
    script.then([](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QRadioButton*>(QStringLiteral("optPort0")),
                          Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QRadioButton*>(QStringLiteral("optBaud1")),
                          Qt::LeftButton);
        dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        return true;
    });
    app->Main();
    EXPECT_EQ(app->module1().com_port, 1);
    EXPECT_EQ(app->module1().baud_rate, 38400);
    EXPECT_EQ(panel(*app, 1), QStringLiteral("COM1 38400  "));
    EXPECT_EQ(settings.get("Port", "COM"), "1");
    EXPECT_EQ(settings.get("Port", "BAUD"), "38400");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ComSetupDialog, OkWithNothingChosenGivesBothMessagesPortFirst) {
    QString first, second;
    script.then(clickInDialog("frmComSetup", "cmdOK"))
        .then(answerBox(&first, QMessageBox::Ok))
        .then(answerBox(&second, QMessageBox::Ok));
    app->Main();
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(first, QStringLiteral("Current com port selection is not valid"));
    EXPECT_EQ(second, QStringLiteral("Current baud rate selection is not valid"));
    EXPECT_EQ(panel(*app, 1), QStringLiteral("COM not set   "));
    EXPECT_EQ(settings.get("Port", "COM"), "");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // closed whatever the outcome
}

TEST_F(ComSetupDialog, CancelKeepsTheClickButTouchesNothingElse) {
    script.then([](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QRadioButton*>(QStringLiteral("optPort0")),
                          Qt::LeftButton);
        dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        return true;
    });
    app->Main();
    EXPECT_EQ(app->module1().com_port, 1);
    EXPECT_EQ(panel(*app, 1), QStringLiteral("COM not set   "));
    EXPECT_EQ(settings.get("Port", "COM"), "");
}

TEST_F(ComSetupDialog, EscapeAndEnterDoNotCloseIt) {
    bool openAfterKeys = false;
    script.then([&](QWidget* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTest::keyClick(dialog, Qt::Key_Return);
        openAfterKeys = dialog->isVisible();
        dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        return true;
    });
    app->Main();
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(settings.get("Port", "COM"), "");
}

TEST_F(ComSetupDialog, PortSetupFromTheMenuHasNoOwner) {
    script.then(clickInDialog("frmComSetup", "cmdCancel"));
    app->Main();
    Shown shown;
    script.then(clickInDialog("frmComSetup", "cmdCancel", record(shown)));
    app->mainForm().findChild<QAction*>(QStringLiteral("mnuComSetup"))->trigger();
    EXPECT_EQ(shown.caption, QStringLiteral("COM Setup"));
    EXPECT_EQ(shown.owner, nullptr);
    EXPECT_TRUE(shown.portsEnabled[0]); // the pseudo-terminal was found by the probe
}

} // namespace
} // namespace quill::test
