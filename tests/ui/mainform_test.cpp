// The main window phase by phase, with COM1 a pseudo-terminal and the
// device model answering on its far end.

#include "uitest.h"

#include "ui/frmabout.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <fstream>

namespace quill::test {
namespace {

const std::vector<std::string> hexLines = {
    ":10000000000102030405060708090A0B0C0D0E0F78",
    ":10001000101112131415161718191A1B1C1D1E1F68",
    ":040020002021222356",
    ":00000001FF",
};

class MainWindow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        settings.set("PortNames", "COM1", device.slavePath());
        hexPath = settings.path("image.hex");
        std::ofstream out(hexPath, std::ios::binary);
        for (const std::string& line : hexLines) {
            out << line << "\r\n";
        }
    }

    // Starts with COM1 at 9600 confirmed in the COM Setup dialog.
    void startWithPortOpen() {
        settings.set("Port", "COM", "1");
        settings.set("Port", "BAUD", "9600");
        app = settings.startApplication();
        script.then(clickInDialog("frmComSetup", "cmdOK"));
        app->Main();
        ASSERT_EQ(panelText(1), QStringLiteral("COM1 9600  "));
    }

    template <typename T> T* control(const char* name) {
        return app->mainForm().findChild<T*>(QLatin1String(name));
    }
    QString panelText(int n) { return control<QLabel>(n == 1 ? "Panel1" : "Panel2")->text(); }
    QPushButton* cmdStart() { return control<QPushButton>("cmdStart"); }
    QLabel* lblMsg() { return control<QLabel>("lblMsg"); }
    QProgressBar* prbFilePos() { return control<QProgressBar>("prbFilePos"); }

    void chooseInOpenDialog(const std::string& path) {
        script.then([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                return false;
            }
            // Typed into the file name box, as a user would: selectFile()
            // leaves that box alone while it has the focus.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name == nullptr) {
                return false;
            }
            name->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept(); // the Open button
            return !dialog->isVisible();
        });
        control<QAction>("mnuFileOpen")->trigger();
    }

    void drop(QMimeData& data) {
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &dropped);
    }

    ScratchSettings settings;
    PtyDevice device{devsim::Config{}};
    std::string hexPath;
    std::unique_ptr<Application> app;
    ModalScript script;
};

TEST_F(MainWindow, AfterLoadNothingCanStart) {
    app = settings.startApplication();
    bool started = true, msgShown = true, prbShown = true;
    QString port;
    script.then(clickInDialog("frmComSetup", "cmdCancel", [&](QWidget*) {
        started = cmdStart()->isEnabled();
        msgShown = !lblMsg()->isHidden();
        prbShown = !prbFilePos()->isHidden();
        port = panelText(1);
    }));
    app->Main();
    EXPECT_FALSE(started);
    EXPECT_FALSE(msgShown);
    EXPECT_FALSE(prbShown);
    EXPECT_EQ(port, QStringLiteral("COM not set   "));
    EXPECT_EQ(app->mainForm().windowTitle(), QStringLiteral("Quill"));
    EXPECT_TRUE(app->mainForm().isVisible());
}

TEST_F(MainWindow, PortOnTheCommandLineIsSelectedInComSetup) {
    app = settings.startApplication("/P 1");
    bool selected = false;
    script.then(clickInDialog("frmComSetup", "cmdCancel", [&](QWidget* dialog) {
        selected = dialog->findChild<QAbstractButton*>(QStringLiteral("optPort0"))->isChecked();
    }));
    app->Main();
    EXPECT_TRUE(selected);
}

TEST_F(MainWindow, ManualDownloadThroughAPseudoTerminal) {
    startWithPortOpen();
    chooseInOpenDialog(hexPath);
    EXPECT_TRUE(cmdStart()->isEnabled());
    EXPECT_EQ(panelText(2), QString::fromStdString(hexPath + "    "));

    QString prompt, complete, phaseAtEnd;
    int progressAtEnd = -1;
    script.then(answerBox(&prompt, QMessageBox::Ok))
        .then(answerBox(&complete, QMessageBox::Ok, [&] {
            phaseAtEnd = lblMsg()->text();
            progressAtEnd = prbFilePos()->value();
        }));
    QTest::mouseClick(cmdStart(), Qt::LeftButton);
    EXPECT_EQ(prompt, QStringLiteral("Prepare device for download at 9600\n"));
    // The erase request is on the wire; the device has not answered yet.
    EXPECT_EQ(lblMsg()->text(), QStringLiteral("Erasing Flash ..."));
    EXPECT_TRUE(lblMsg()->isVisible());
    EXPECT_TRUE(prbFilePos()->isVisible());

    QTRY_COMPARE_WITH_TIMEOUT(script.pending(), 0u, 10000);
    EXPECT_EQ(complete, QStringLiteral("Download complete"));
    EXPECT_EQ(phaseAtEnd, QStringLiteral("Programming Flash ..."));
    EXPECT_EQ(progressAtEnd, prbFilePos()->maximum());
    EXPECT_FALSE(cmdStart()->isEnabled());
    EXPECT_FALSE(lblMsg()->isVisible());
    EXPECT_FALSE(prbFilePos()->isVisible());
    EXPECT_EQ(panelText(2), QStringLiteral(" "));
    EXPECT_EQ(device.model().eraseRequests(), 1);
    EXPECT_EQ(device.model().records(), hexLines);
    EXPECT_TRUE(device.model().sawEndOfFile());
}

TEST_F(MainWindow, DroppedFileIsChosenWhenItOpens) {
    startWithPortOpen();
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    drop(text);
    QCoreApplication::processEvents();
    EXPECT_EQ(panelText(2), QString());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(hexPath)),
                   QUrl::fromLocalFile(QString::fromStdString(settings.iniPath()))});
    drop(files);
    QTRY_COMPARE(panelText(2), QString::fromStdString(hexPath + "    "));
    EXPECT_TRUE(cmdStart()->isEnabled());
    EXPECT_TRUE(app->module1().hex_file_open);
    EXPECT_EQ(app->module1().hex_file_name, hexPath);
}

std::vector<frmAbout*> openAboutBoxes() {
    std::vector<frmAbout*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<frmAbout*>(window); about && about->isVisible()) {
            found.push_back(about);
        }
    }
    return found;
}

TEST_F(MainWindow, AboutTwiceGivesOneBoxThatEscapeCloses) {
    app = settings.startApplication();
    script.then(clickInDialog("frmComSetup", "cmdCancel"));
    app->Main();
    auto* mnuAbout = control<QAction>("mnuAbout");
    mnuAbout->trigger();
    mnuAbout->trigger();
    std::vector<frmAbout*> open = openAboutBoxes();
    ASSERT_EQ(open.size(), 1u);
    QPointer<frmAbout> box = open.front();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About Quill"));
    EXPECT_EQ(box->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
              QStringLiteral("Version 1.0.4"));
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_VERIFY(box.isNull());

    mnuAbout->trigger();
    open = openAboutBoxes();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open.front()->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
              QStringLiteral("Version 1.0.4"));
    open.front()->close();
}

TEST_F(MainWindow, ProgressBarTakesAnEmptyRangeAndValuesBeyondIt) {
    app = settings.startApplication();
    MainForm& form = app->mainForm();
    form.setPrbMin(0);
    form.setPrbMax(0); // an empty file
    form.setPrbValue(0);
    EXPECT_GT(prbFilePos()->maximum(), prbFilePos()->minimum()); // never a busy indicator
    EXPECT_EQ(prbFilePos()->value(), prbFilePos()->minimum());
    EXPECT_EQ(form.prbMax(), 0.0f);
    form.setPrbMax(200);
    form.setPrbValue(50);
    EXPECT_EQ(prbFilePos()->value(), prbFilePos()->maximum() / 4);
    form.setPrbValue(250);
    EXPECT_EQ(prbFilePos()->value(), prbFilePos()->maximum());
}

TEST_F(MainWindow, ClosingStoresUsablePortAndBaud) {
    app = settings.startApplication();
    script.then([](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("optPort0")),
                          Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("optBaud1")),
                          Qt::LeftButton);
        dialog->findChild<QAbstractButton*>(QStringLiteral("cmdCancel"))->click();
        return true;
    });
    app->Main();
    ASSERT_EQ(settings.get("Port", "COM"), ""); // Cancel stored nothing
    control<QAction>("mnuFileExit")->trigger();
    EXPECT_FALSE(app->mainForm().isVisible());
    EXPECT_EQ(settings.get("Port", "COM"), "1");
    EXPECT_EQ(settings.get("Port", "BAUD"), "38400");
}

} // namespace
} // namespace quill::test
