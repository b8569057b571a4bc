// SPDX-License-Identifier: MIT
// The windows: start-up and the "COM Setup" dialog, the main window phase by
// phase with COM1 a pseudo-terminal and the device model answering on its
// far end, and the Tracker wait dialog.

#include "uitest.h"

#include "ui/frmabout.h"
#include "ui/frmwaitcom.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>

#include <fstream>

namespace quill::test {
namespace {

TEST_F(WindowTest, StartUpShowsComSetupWithTheStoredChoice) {
    const struct {
        const char *name, *com, *baud, *device, *cmdline;
        // Selected: optPort0 to optPort3, optBaud0, optBaud1; checked in the
        // device menu: Manual, Tracker.
        const char* selected;
    } cases[] = {
        {"stored", "2", "38400", "", "", "-x---x|M-"},
        {"nothing stored", "", "", "", "", "------|M-"},
        {"tracker", "4", "9600", "1", "", "---xx-|-T"},
        {"device out of range", "", "", "7", "", "------|M-"},
        {"garbage", "two", "fast", "Tracker", "", "------|M-"},
        {"port on the command line", "", "", "", "/P 1", "x-----|M-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings().SaveSetting("Port", "COM", c.com);
        settings().SaveSetting("Port", "BAUD", c.baud);
        settings().SaveSetting("Option", "DEVICE", c.device);
        start(c.cmdline);
        script.then("frmComSetup", [&](QWidget* dialog) {
            // Found as the active modal widget: modal, as it must be.
            QString selected, enabled;
            for (const char* name :
                 {"optPort0", "optPort1", "optPort2", "optPort3", "optBaud0", "optBaud1"}) {
                auto* option = dialog->findChild<QAbstractButton*>(QLatin1String(name));
                selected += option->isChecked() ? u'x' : u'-';
                enabled += option->isEnabled() ? u'x' : u'-';
            }
            selected += control<QAction>("mnuDeviceDefault")->isChecked() ? u"|M" : u"|-";
            selected += control<QAction>("mnuDeviceTracker")->isChecked() ? u'T' : u'-';
            EXPECT_EQ(selected, QLatin1String(c.selected));
            // Only COM1 is present: a stored COM2 to COM4 shows selected but disabled.
            EXPECT_EQ(enabled, QStringLiteral("x---xx"));
            EXPECT_FALSE(control<QWidget>("cmdStart")->isEnabled()); // nothing to start yet
            click(dialog, {"cmdCancel"});
        });
        app->Main();
        EXPECT_EQ(script.pending(), 0u);
    }
}

// OK with nothing chosen gives both messages, port first, and closes the
// dialog. From the menu: Escape and Enter do not close it, Cancel keeps the
// clicked choice without opening or storing it, and closing the program
// stores it.
TEST_F(WindowTest, ComSetupMessagesKeysCancelAndClose) {
    start();
    QString first, second;
    script.then("frmComSetup", [](QWidget* dialog) { click(dialog, {"cmdOK"}); })
        .answer(&first)
        .answer(&second);
    app->Main();
    EXPECT_EQ(first, QStringLiteral("Current com port selection is not valid"));
    EXPECT_EQ(second, QStringLiteral("Current baud rate selection is not valid"));

    bool openAfterKeys = false;
    script.then("frmComSetup", [&](QWidget* dialog) {
        click(dialog, {"optPort0", "optBaud1"});
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTest::keyClick(dialog, Qt::Key_Return);
        openAfterKeys = dialog->isVisible();
        click(dialog, {"cmdCancel"});
    });
    control<QAction>("mnuComSetup")->trigger();
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(control<QLabel>("Panel1")->text(), QStringLiteral("COM not set   "));
    EXPECT_EQ(settings().GetSetting("Port", "COM"), "");

    control<QAction>("mnuFileExit")->trigger();
    EXPECT_FALSE(app->mainForm().isVisible());
    EXPECT_EQ(settings().GetSetting("Port", "COM"), "1");
    EXPECT_EQ(settings().GetSetting("Port", "BAUD"), "38400");
}

// COM1 at 9600 chosen in the COM Setup dialog, which opens and stores it.
class MainWindow : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        std::ofstream(hexPath, std::ios::binary) << hexLines[0] << "\r\n" << hexLines[1] << "\r\n";
        start();
        script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
        app->Main();
        ASSERT_EQ(control<QLabel>("Panel1")->text(), QStringLiteral("COM1 9600  "));
        ASSERT_EQ(settings().GetSetting("Port", "COM") + settings().GetSetting("Port", "BAUD"),
                  "19600");
    }
    QString panel2() { return control<QLabel>("Panel2")->text(); }

    const std::vector<std::string> hexLines = {":0400000001020304F2", ":00000001FF"};
    const std::string hexPath = path("image.hex");
};

TEST_F(MainWindow, ManualDownloadThroughAPseudoTerminal) {
    auto* lblMsg = control<QLabel>("lblMsg");
    auto* prbFilePos = control<QProgressBar>("prbFilePos");
    auto* cmdStart = control<QWidget>("cmdStart");
    // Typed into the file name box, as a user would: selectFile() leaves that
    // box alone while it has the focus.
    script.then("QFileDialog", [&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QString::fromStdString(hexPath));
        static_cast<QDialog*>(dialog)->accept(); // the Open button
    });
    control<QAction>("mnuFileOpen")->trigger();
    EXPECT_TRUE(cmdStart->isEnabled());
    EXPECT_EQ(panel2(), QString::fromStdString(hexPath + "    "));

    QString prompt, complete, phaseAtEnd;
    int progressAtEnd = -1;
    script.answer(&prompt).answer(&complete, [&] {
        phaseAtEnd = lblMsg->text();
        progressAtEnd = prbFilePos->value();
    });
    QTest::mouseClick(cmdStart, Qt::LeftButton);
    EXPECT_EQ(prompt, QStringLiteral("Prepare device for download at 9600\n"));
    // The erase request is on the wire; the device has not answered yet.
    EXPECT_EQ(lblMsg->text(), QStringLiteral("Erasing Flash ..."));
    EXPECT_TRUE(lblMsg->isVisible() && prbFilePos->isVisible());

    ASSERT_TRUE(waitFor([&] { return script.pending() == 0; }, 10000));
    EXPECT_EQ(complete, QStringLiteral("Download complete"));
    EXPECT_EQ(phaseAtEnd, QStringLiteral("Programming Flash ..."));
    EXPECT_EQ(progressAtEnd, prbFilePos->maximum());
    EXPECT_FALSE(cmdStart->isEnabled() || lblMsg->isVisible() || prbFilePos->isVisible());
    EXPECT_EQ(panel2(), QStringLiteral(" "));
    EXPECT_EQ(model.eraseRequests(), 1);
    EXPECT_EQ(model.records(), hexLines);
    EXPECT_TRUE(model.sawEndOfFile());
}

TEST_F(MainWindow, DroppedFileIsChosenWhenItOpens) {
    QMimeData text, files; // of the files, the first that opens is taken
    text.setText(QStringLiteral("not a file"));
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(hexPath)),
                   QUrl::fromLocalFile(QString::fromStdString(path("quill.ini")))});
    for (QMimeData* data : {&text, &files}) {
        QDragEnterEvent enter({20, 20}, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &enter);
        QDropEvent drop({20, 20}, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &drop);
        QCoreApplication::processEvents();
        EXPECT_EQ(panel2(), data == &text ? QString() : QString::fromStdString(hexPath + "    "));
    }
}

TEST_F(MainWindow, AboutTwiceGivesOneBoxAgainAfterEscapeClosedIt) {
    for (int round = 0; round < 2; ++round) {
        control<QAction>("mnuAbout")->trigger();
        control<QAction>("mnuAbout")->trigger();
        QWidgetList open = QApplication::topLevelWidgets();
        open.removeIf([](QWidget* w) { return !qobject_cast<frmAbout*>(w) || !w->isVisible(); });
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(open[0]->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                  QStringLiteral("Version 1.0.4"));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        const QPointer<QWidget> box = open[0];
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(waitFor([&] { return box.isNull(); }, 2000));
    }
}

// Closes the dialog as the download engine does when OK is pressed.
struct Sink : WaitDialogEvents {
    explicit Sink(frmWaitCom& dialog) : dialog(dialog) { dialog.setEventSink(this); }
    void frmWaitCom_cmdOK_Click() override {
        ++presses;
        dialog.close();
    }
    frmWaitCom& dialog;
    int presses = 0;
};

// Waiting, the dialog takes no input and a close from a handler inside its
// exec() ends the wait; then, acknowledging, OK or the frame's close button
// reports once each.
TEST(WaitDialog, WaitsWithoutInputThenAcknowledgesOnce) {
    frmWaitCom dialog;
    Sink sink(dialog);
    dialog.setMessage("Tracker did not respond after reboot.\r Try again.");
    dialog.setAcknowledging(false);
    bool stillOpen = false;
    QPointer<QWidget> waiting;
    ModalScript script;
    script.then("frmWaitCom", [&](QWidget* window) {
        waiting = window;
        EXPECT_FALSE(window->findChild<QWidget*>(QStringLiteral("cmdOK"))->isEnabled());
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Return);
        window->close(); // the frame's close button
        stillOpen = window->isVisible();
        dialog.close(); // as the receive handler does on the Tracker's ACK
    });
    dialog.showModal();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(sink.presses, 0);
    // Deleted once its own loop had returned.
    EXPECT_TRUE(waitFor([&] { return waiting.isNull(); }, 2000));

    for (const bool viaFrame : {false, true}) {
        SCOPED_TRACE(viaFrame ? "frame close" : "OK");
        dialog.load(); // a fresh window
        EXPECT_EQ(dialog.window()->findChild<QLabel*>(QStringLiteral("lblMessage"))->text(),
                  QStringLiteral("Unknown error"));
        dialog.setAcknowledging(false);
        dialog.setMessage("Tracker response error. \rCheck setup and try again");
        dialog.setAcknowledging(true);
        QString shown;
        script.then("frmWaitCom", [&](QWidget* window) {
            shown = window->findChild<QLabel*>(QStringLiteral("lblMessage"))->text();
            viaFrame ? void(window->close()) : click(window, {"cmdOK"});
        });
        dialog.showModal();
        EXPECT_EQ(shown, QStringLiteral("Tracker response error. \nCheck setup and try again"));
        EXPECT_EQ(sink.presses, viaFrame ? 2 : 1);
    }
}

} // namespace
} // namespace quill::test

// The window tests run under one QApplication on Qt's offscreen platform
// (also when ctest lists them, before its environment applies).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
