// SPDX-License-Identifier: MIT
// The main window of the Windows build, drawn by Wine on an X display: a
// Manual download chosen and started as a user would, COM1 bound to COM5.
// window_e2e.sh starts the display and the device (quill-devsim on a
// pseudo-terminal that the Wine prefix names COM5), and compares the
// device's image with the Linux quill-cli's afterwards. The settings are an
// ini file and the history an SQLite file in the script's scratch folder,
// never the registry; the trace goes to this program's own data folder,
// which Qt's test mode keeps apart from quill's and which is removed.
//   QUILL_FIRMWARE    the hex file, as Windows names it
//   QUILL_SCRATCH     the scratch folder, as Windows names it
//   QUILL_SCREENSHOT  where to save the window at "Download complete" (optional)

#include "app/application.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"
#include "history/historylocation.h"
#include "history/historystore.h"
#include "modalscript.h"
#include "qt/qtsettingsstore.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace quill::test {
namespace {

// The window and, under it, the box that ended the download: the window
// is smaller than the box would need to sit on it unseen.
QPixmap windowAndBox(QWidget* window, QWidget* box) {
    const QPixmap top = window->grab();
    const QPixmap bottom = box->grab();
    QPixmap shot(std::max(top.width(), bottom.width()), top.height() + bottom.height() + 16);
    shot.fill(window->palette().color(QPalette::Window));
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, top);
    const QPoint at((shot.width() - bottom.width()) / 2, top.height() + 16);
    painter.drawPixmap(at, bottom);
    painter.drawRect(QRect(at, bottom.size()).adjusted(-1, -1, 0, 0));
    return shot;
}

TEST(WindowsMainForm, DownloadsTheChosenFileThroughCom5) {
    const std::string firmware = qEnvironmentVariable("QUILL_FIRMWARE").toStdString();
    const QDir scratch(qEnvironmentVariable("QUILL_SCRATCH"));
    ASSERT_FALSE(firmware.empty() || scratch.path() == QLatin1String("."))
        << "run by tests/windows/window_e2e.sh";
    QStandardPaths::setTestModeEnabled(true);
    // Qt's own Open dialog, which the script fills in; the system's is Wine's.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const std::string ini = scratch.filePath(QStringLiteral("quill.ini")).toStdString();
    const std::string history = scratch.filePath(QStringLiteral("history.sqlite")).toStdString();
    {
        QtSettingsStore settings(ini);
        settings.SaveSetting("PortNames", "COM1", "COM5");
        for (const char* com : {"COM2", "COM3", "COM4"}) { // none there: no real port takes part
            settings.SaveSetting("PortNames", com, std::string(com) + "0");
        }
        settings.SaveSetting("History", "URL", history);
    }
    auto app = std::make_unique<Application>(std::make_unique<QtSettingsStore>(ini), std::string());
    MainForm& window = app->mainForm();
    ModalScript script;
    script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
    app->Main();
    script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, firmware); });
    child<QAction>(&window, "mnuFileOpen")->trigger();
    auto* cmdStart = child(&window, "cmdStart");
    ASSERT_TRUE(QTest::qWaitFor([&] { return cmdStart->isEnabled(); }, 10000));

    QString prompt, complete;
    const QString shot = qEnvironmentVariable("QUILL_SCREENSHOT");
    script.answer(&prompt).then("QMessageBox", [&](QWidget* box) {
        complete = static_cast<QMessageBox*>(box)->text();
        EXPECT_TRUE(shot.isEmpty() || windowAndBox(&window, box).save(shot)) << shot.toStdString();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(cmdStart, Qt::LeftButton);
    // 2 KiB at 9600 baud takes a few seconds; a device that stops answering
    // is given up by the window within its own timeouts, and said in a box.
    EXPECT_TRUE(QTest::qWaitFor([&] { return script.pending() == 0; }, 40000));
    EXPECT_EQ(prompt, QLatin1String(text::PrepareDevice) + QStringLiteral("9600\n"));
    QFile trace(QString::fromStdString(app->downloadLog().path()));
    EXPECT_EQ(complete, QLatin1String(text::DownloadComplete))
        << (trace.open(QIODevice::ReadOnly) ? trace.readAll().toStdString() : "(no trace)");

    app.reset(); // its row is written before it is gone
    auto store = HistoryStore::open(sqliteHistory(history));
    ASSERT_TRUE(store);
    const auto rows = (*store)->query({});
    ASSERT_TRUE(rows && rows->size() == 1u);
    const Attempt& a = rows->front();
    EXPECT_EQ(std::tuple(a.program, a.port, a.devicePath, a.outcome, a.recordsSent, a.filePath),
              std::tuple("quill", "COM1", "COM5", "complete", a.recordsTotal, firmware));
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
}

} // namespace
} // namespace quill::test
