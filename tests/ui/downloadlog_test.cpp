// SPDX-License-Identifier: MIT
// A Manual download in the main window, with COM1 a pseudo-terminal and the
// device model answering on its far end, phase by phase. The window keeps
// the trace of its last download in the state folder, written afresh at
// each Start; a trace that cannot be written leaves the download alone.
// Every download is a row of the history in the data folder.

#include "history/historystore.h"
#include "quillversion.h"
#include "uitest.h"
#include "unitserial/serialnumber.h"

#include <QCryptographicHash>
#include <QMessageBox>
#include <QProgressBar>

namespace quill::test {
namespace {

// COM1 at 9600 chosen in the COM Setup dialog; the state folder is scratch.
class DownloadLogWindow : public WindowTest {
  protected:
    void TearDown() override {
        qputenv("XDG_STATE_HOME", saved);
        qputenv("XDG_DATA_HOME", savedData);
    }

    void startWith(const std::string& stateHome) {
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(stateHome));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(path("data")));
        startOnCom1();
    }
    // Chooses the file in the Open dialog, presses Start, answers the
    // prompt and "Download complete": what the window shows meanwhile.
    void download() {
        script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, hexPath); });
        control<QAction>("mnuFileOpen")->trigger();
        auto* lblMsg = control<QLabel>("lblMsg");
        auto* prbFilePos = control<QProgressBar>("prbFilePos");
        auto* cmdStart = control<QWidget>("cmdStart");
        const auto shown = [&] {
            return std::tuple(cmdStart->isEnabled(), lblMsg->isVisible(), prbFilePos->isVisible(),
                              panel("Panel2"), control<QLabel>("Panel2")->toolTip());
        };
        // The file is read for its tooltip off the window's thread.
        EXPECT_TRUE(waitFor(
            [&] {
                return shown() == std::tuple(true, false, false,
                                             QString::fromStdString(hexPath + "    "),
                                             QString::fromStdString(identity));
            },
            5000));
        QString prompt, complete, phaseAtEnd;
        int progressAtEnd = -1;
        script.answer(&prompt).answer(&complete, [&] {
            phaseAtEnd = lblMsg->text();
            progressAtEnd = prbFilePos->value();
        });
        QTest::mouseClick(cmdStart, Qt::LeftButton);
        // The erase request is on the wire; the device has not answered yet.
        EXPECT_EQ(std::tuple(prompt, lblMsg->text(), lblMsg->isVisible(), prbFilePos->isVisible()),
                  std::tuple(QStringLiteral("Prepare device for download at 9600\n"),
                             QStringLiteral("Erasing Flash ..."), true, true));
        ASSERT_TRUE(waitFor([&] { return script.pending() == 0; }, 10000));
        EXPECT_EQ(std::tuple(complete, phaseAtEnd, progressAtEnd),
                  std::tuple(QStringLiteral("Download complete"),
                             QStringLiteral("Programming Flash ..."), prbFilePos->maximum()));
        EXPECT_EQ(shown(), std::tuple(false, false, false, QStringLiteral(" "), QString()));
    }

    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const std::string sha256 = QCryptographicHash::hash(":0400000001020304F2\r\n:00000001FF\r\n",
                                                        QCryptographicHash::Sha256)
                                   .toHex()
                                   .toStdString();
    const std::string identity = hexPath + ": 34 bytes, SHA-256 " + sha256;
};

TEST_F(DownloadLogWindow, ManualDownloadThroughAPseudoTerminalWritesItsTraceAfresh) {
    startWith(path("state"));
    const std::string log = path("state/quill/last-download.log");
    EXPECT_EQ(app->downloadLog().path(), log);
    download();
    // The trace's own lines are the writer's; here, that the window's
    // download reaches it, on the port it opened.
    const std::string first = readFile(log);
    EXPECT_EQ(
        first.rfind("# Quill " + std::string(QuillVersion) + " download trace, started 20", 0), 0u)
        << first;
    EXPECT_EQ(count(first, "\n    0.000 START COM1 (" + pty.slavePath() + ") 9600,M,8,1 Manual \"" +
                               hexPath + "\"\n"),
              1)
        << first;
    download();
    const std::string second = readFile(log);
    EXPECT_EQ(count(second, " START "), 1) << second;
    EXPECT_EQ(count(second, " FILE  " + identity + ", 2 records, 4 data bytes\n"), 1) << second;

    // Both downloads in the history, as quill-cli would have ended them.
    app.reset(); // its rows are written before it is gone
    auto store = HistoryStore::open(sqliteHistory(path("data/quill/history.sqlite")));
    ASSERT_TRUE(store);
    const auto rows = (*store)->query({});
    ASSERT_EQ(rows->size(), 2u);
    const Attempt& a = rows->front();
    EXPECT_EQ(std::tuple(a.program, a.port, a.devicePath, a.baud, a.device, a.filePath, a.sha256),
              std::tuple("quill", "COM1", pty.slavePath(), 9600, "manual", hexPath, sha256));
    EXPECT_EQ(std::tuple(a.fileSize, a.recordsSent, a.recordsTotal, a.outcome, a.exitCode,
                         a.lastMessage, a.traceFile),
              std::tuple(34, 2, 2, "complete", 0, "Download complete", log));
    EXPECT_TRUE(a.endedMs);
}

// Also: with Options, "Serial number..." chosen, each download's unit gets
// the next number, big-endian in bytes 1 and 2 of its first record; the
// first unit got 1.
TEST_F(DownloadLogWindow, ATraceThatCannotBeWrittenIsSaidOnceAndTheDownloadGoesOn) {
    QtSettingsStore chosen = settings();
    SerialRequest serial;
    serial.address = 1;
    serial.size = 2;
    serial.format = SerialFormat::BigEndian;
    saveSerialSettings(chosen, serial);
    // The state folder would have to be made inside a file.
    writeFile(path("plain"), "not a folder");
    startWith(path("plain"));
    testing::internal::CaptureStderr();
    download();
    download();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(err, "The download trace could not be written to " + path("plain") +
                             "/quill/last-download.log ("),
              1)
        << err;
    // The second unit's records, its number in them.
    EXPECT_EQ(model.records(), (std::vector<std::string>{":0400000001000204F5", ":00000001FF"}));
}

// Closing the window during a download asks first: No keeps it going, Yes
// stops it (the erase answer is no longer waited for) and the window goes.
// The device heard the erase request: its unit's first attempt; it never
// answered, so no serial number was spent on it.
TEST_F(DownloadLogWindow, ClosingDuringADownloadAsksFirst) {
    model = devsim::DeviceModel(devsim::Config{.fault = devsim::Fault::NoEraseXoff});
    QtSettingsStore chosen = settings();
    SerialRequest serial;
    serial.address = 1;
    serial.size = 2;
    saveSerialSettings(chosen, serial);
    startWith(path("state"));
    script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, hexPath); });
    control<QAction>("mnuFileOpen")->trigger();
    QString prompt;
    script.answer(&prompt);
    QTest::mouseClick(control<QWidget>("cmdStart"), Qt::LeftButton);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString asked;
        script.press(&asked, answer);
        app->mainForm().close();
        EXPECT_EQ(asked, QStringLiteral("1 device is being flashed. Stop it and close?"));
        EXPECT_EQ(app->mainForm().isVisible(), answer == QMessageBox::No);
    }
    EXPECT_EQ(app->module1().cstate, cs_off);
    app.reset(); // its rows are written before it is gone
    auto store = HistoryStore::open(sqliteHistory(path("data/quill/history.sqlite")));
    ASSERT_TRUE(store);
    const auto rows = (*store)->query({});
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ(std::tuple(rows->front().outcome, rows->front().attemptNo, rows->front().serial),
              std::tuple("interrupted", 1, ""));
    EXPECT_FALSE(rows->front().unitKey.empty());
}

// A state folder that is not absolute is not used. (An absolute one is the
// window's: see above.)
TEST(DownloadLogPath, FollowsTheStateFolder) {
    const QByteArray saved[] = {qgetenv("XDG_STATE_HOME"), qgetenv("HOME")};
    const struct {
        const char *state, *home, *path;
    } cases[] = {
        {nullptr, "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {"", "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {"relative/state", "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        c.state != nullptr ? qputenv("XDG_STATE_HOME", c.state) : qunsetenv("XDG_STATE_HOME");
        c.home != nullptr ? qputenv("HOME", c.home) : qunsetenv("HOME");
        EXPECT_EQ(DownloadLog::defaultPath(), c.path) << c.state;
    }
    qputenv("XDG_STATE_HOME", saved[0]);
    qputenv("HOME", saved[1]);
}

} // namespace
} // namespace quill::test
