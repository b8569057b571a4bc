// SPDX-License-Identifier: MIT
// The window keeps the trace of its last download in the state folder,
// written afresh at each Start; a trace that cannot be written leaves the
// download alone.

#include "quillversion.h"
#include "uitest.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <sstream>

namespace quill::test {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// COM1 at 9600 chosen in the COM Setup dialog; the state folder is scratch.
class DownloadLogWindow : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        std::ofstream(hexPath, std::ios::binary) << ":0400000001020304F2\r\n:00000001FF\r\n";
    }
    void TearDown() override { qputenv("XDG_STATE_HOME", saved); }

    void startWith(const std::string& stateHome) {
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(stateHome));
        start();
        script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
        app->Main();
    }
    // Chooses the file in the Open dialog, presses Start, answers the
    // prompt and "Download complete".
    void download() {
        script.then("QFileDialog", [&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(hexPath));
            static_cast<QDialog*>(dialog)->accept();
        });
        control<QAction>("mnuFileOpen")->trigger();
        QString prompt, complete;
        script.answer(&prompt).answer(&complete);
        QTest::mouseClick(control<QWidget>("cmdStart"), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return script.pending() == 0; }, 10000));
        EXPECT_EQ(complete, QStringLiteral("Download complete"));
    }

    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    const std::string hexPath = path("image.hex");
};

TEST_F(DownloadLogWindow, EachStartWritesTheTraceAfresh) {
    startWith(path("state"));
    const std::string log = path("state/quill/last-download.log");
    EXPECT_EQ(app->downloadLog().path(), log);
    download();
    const std::string first = readFile(log);
    EXPECT_EQ(
        first.rfind("# Quill " + std::string(QuillVersion) + " download trace, started 20", 0), 0u)
        << first;
    EXPECT_EQ(count(first, "\n    0.000 START COM1 (" + pty.slavePath() + ") 9600,M,8,1 Manual \"" +
                               hexPath + "\" 2 records 4 data bytes\n"),
              1)
        << first;
    EXPECT_EQ(count(first, "BOX   \"Prepare device for download at 9600\\r\" [OK Cancel]\n"), 1);
    EXPECT_EQ(count(first, " TX    3A 30 31 30 30 30 30 30 30 46 46 30 30 0D 0A  "
                           "\":01000000FF00..\"\n"),
              1);
    EXPECT_EQ(count(first, "  \":0400000001020304F2..\"\n"), 1);
    EXPECT_EQ(count(first, "  \":00000001FF..\"\n"), 1);
    EXPECT_EQ(count(first, " RX    13  \".\"\n"), 2) << first;
    EXPECT_EQ(count(first, " BOX   \"Download complete\" [OK]\n"), 1);

    download();
    const std::string second = readFile(log);
    EXPECT_EQ(count(second, " START "), 1) << second;
    EXPECT_EQ(count(second, " BOX   \"Download complete\" [OK]\n"), 1);
}

TEST_F(DownloadLogWindow, ATraceThatCannotBeWrittenIsSaidOnceAndTheDownloadGoesOn) {
    // The state folder would have to be made inside a file.
    std::ofstream(path("plain")) << "not a folder";
    startWith(path("plain"));
    testing::internal::CaptureStderr();
    download();
    download();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(err, "The download trace could not be written to " + path("plain") +
                             "/quill/last-download.log ("),
              1)
        << err;
    EXPECT_EQ(model.records().size(), 2u);
}

TEST(DownloadLogPath, FollowsTheStateFolder) {
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    const struct {
        const char *state, *home, *path;
    } cases[] = {
        {"/var/state", "/home/ann", "/var/state/quill/last-download.log"},
        {nullptr, "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {"", "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {"relative/state", "/home/ann", "/home/ann/.local/state/quill/last-download.log"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        for (const auto& [name, value] : {std::pair{"XDG_STATE_HOME", c.state}, {"HOME", c.home}}) {
            if (value != nullptr) {
                qputenv(name, value);
            } else {
                qunsetenv(name);
            }
        }
        EXPECT_EQ(DownloadLog::defaultPath(), c.path);
    }
    qputenv("XDG_STATE_HOME", savedState);
    qputenv("HOME", savedHome);
}

} // namespace
} // namespace quill::test
