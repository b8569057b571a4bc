// SPDX-License-Identifier: MIT
// The windows: start-up and the "COM Setup" dialog, the main window's
// file choice, texts and About box, and the Tracker wait dialog.

#include "uitest.h"

#include "app/startoptions.h"
#include "ui/frmabout.h"
#include "ui/frmstation.h"
#include "ui/frmwaitcom.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeData>

#include <sys/stat.h>
#include <unistd.h>

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
        {"tracker, the port on the command line", "4", "9600", "1", "/P 1", "x---x-|-T"},
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
                auto* option = child<QAbstractButton>(dialog, name);
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

// What OK says of a choice that is not valid is ComSetup's (port_test).
// From the menu: Escape and Enter do not close the dialog, Cancel keeps the
// clicked choice without opening or storing it, and closing the program
// stores it.
TEST_F(WindowTest, ComSetupKeysCancelAndClose) {
    start();
    script.then("frmComSetup", [](QWidget* dialog) { click(dialog, {"cmdCancel"}); });
    app->Main();

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
    EXPECT_EQ(panel("Panel1"), QStringLiteral("COM not set   "));
    EXPECT_EQ(settings().GetSetting("Port", "COM"), "");

    control<QAction>("mnuFileExit")->trigger();
    EXPECT_FALSE(app->mainForm().isVisible());
    EXPECT_EQ(settings().GetSetting("Port", "COM"), "1");
    EXPECT_EQ(settings().GetSetting("Port", "BAUD"), "38400");
}

// Drags `data` over the main window and drops it, offering `offered` with
// those keys held: "E" and "D" for an enter and a drop accepted, as copies.
std::string dragAndDrop(QWidget* window, const QMimeData& data, Qt::DropActions offered,
                        Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QDragEnterEvent enter({20, 20}, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop({20, 20}, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(window, &drop);
    EXPECT_TRUE(!enter.isAccepted() || enter.dropAction() == Qt::CopyAction);
    EXPECT_TRUE(!drop.isAccepted() || drop.dropAction() == Qt::CopyAction);
    QCoreApplication::processEvents(); // the file is taken over once the drop has finished
    return {enter.isAccepted() ? 'E' : '-', drop.isAccepted() ? 'D' : '-'};
}

// A drop is let in and taken only as a copy of a file that opens: a text
// dragged from an editor (offered as a move) is refused, so the editor keeps
// it; a file that cannot be opened is refused to the source and reported.
TEST_F(WindowTest, DropsAreTakenAsCopiesOfFilesThatOpenAndRefusedOtherwise) {
    startOnCom1();
    writeFile(path("other.hex"), ":00000001FF\r\n");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", path("zero").c_str()), 0);
    const struct {
        const char* name;
        // A text, a remote file or files of the scratch folder; offered as a
        // copy or a move, or as a move only.
        std::vector<std::string> dragged;
        bool copyOffered;
        const char* accepted; // the enter and the drop: "E" or "D" when accepted
        const char* box;      // shown after the drop, or null
        const char* chosen;   // the file in panel 2 afterwards, if any
    } cases[] = {
        {"text from an editor", {"text:not a file"}, true, "--", nullptr, nullptr},
        {"remote file", {"http://example.com/a.hex"}, true, "--", nullptr, nullptr},
        {"missing file", {"missing.hex"}, true, "E-", "Open file error", nullptr},
        // Never read at all: the window answers at once.
        {"a device that never ends", {"zero"}, true, "E-", "Open file error", nullptr},
        {"a FIFO without a writer", {"fifo"}, true, "E-", "Open file error", nullptr},
        {"two files", {"image.hex", "quill.ini"}, true, "ED", nullptr, "image.hex"},
        {"a move only", {"other.hex"}, false, "--", nullptr, "image.hex"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& item : c.dragged) {
            const QString text = QString::fromStdString(item);
            if (item.starts_with("text:")) {
                data.setText(text.mid(5));
            } else {
                urls << (item.starts_with("http") ? QUrl(text)
                                                  : QUrl::fromLocalFile(dir.filePath(text)));
            }
        }
        data.setUrls(urls);
        QString box;
        if (c.box != nullptr) {
            script.answer(&box);
        }
        // Shift: the source proposes a move, as an editor dragging a text does.
        const Qt::DropActions offered =
            c.copyOffered ? Qt::CopyAction | Qt::MoveAction : Qt::MoveAction;
        EXPECT_EQ(dragAndDrop(&app->mainForm(), data, offered, Qt::ShiftModifier), c.accepted);
        EXPECT_EQ(script.pending(), 0u);
        EXPECT_EQ(box, QString::fromLatin1(c.box));
        EXPECT_EQ(panel("Panel2"), c.chosen == nullptr
                                       ? QString()
                                       : QString::fromStdString(path(c.chosen) + "    "));
    }
}

// "All files (*.*)" shows files without an extension too; the dialog shows
// both filters as written.
TEST_F(WindowTest, AllFilesShowsEveryFile) {
    startOnCom1();
    const std::string bare = path("firmware");
    writeFile(bare, readFile(hexPath));
    QStringList filters;
    QStringList shown[2]; // firmware and image.hex as listed under each filter
    script.then("QFileDialog", [&](QWidget* widget) {
        auto* dialog = static_cast<QFileDialog*>(widget);
        auto* combo = child<QComboBox>(widget, "fileTypeCombo");
        for (int i = 0; i < combo->count(); ++i) {
            filters << combo->itemText(i);
        }
        auto* model = widget->findChild<QFileSystemModel*>();
        bool loaded = false;
        QObject::connect(model, &QFileSystemModel::directoryLoaded, widget,
                         [&](const QString& folder) { loaded = loaded || folder == dir.path(); });
        dialog->setDirectory(dir.path());
        EXPECT_TRUE(waitFor([&] { return loaded; }, 5000));
        auto* view = child<QAbstractItemView>(widget, "listView");
        for (int filter = 0; filter < 2; ++filter) {
            dialog->selectNameFilter(dialog->nameFilters().value(filter));
            QCoreApplication::processEvents();
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
                const QString name =
                    view->model()->index(row, 0, view->rootIndex()).data().toString();
                if (name == QLatin1String("firmware") || name == QLatin1String("image.hex")) {
                    shown[filter] << name;
                }
            }
            shown[filter].sort();
        }
        typeFileName(widget, bare);
    });
    control<QAction>("mnuFileOpen")->trigger();
    EXPECT_EQ(filters, QStringList({QStringLiteral("Hex files (*.hex)"),
                                    QStringLiteral("All files (*.*)")}));
    EXPECT_EQ(shown[0], QStringList({QStringLiteral("image.hex")}));
    EXPECT_EQ(shown[1], QStringList({QStringLiteral("firmware"), QStringLiteral("image.hex")}));
    EXPECT_EQ(panel("Panel2"), QString::fromStdString(bare + "    "));
}

// Texts are shown as written, never as markup, and in full at a font larger
// than the design's: the status bar grows for its descenders, the wait
// dialog for its longest message.
TEST_F(WindowTest, TextsAreShownAsWrittenAndInFull) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(before.pointSizeF() * 1.6);
    QApplication::setFont(large);
    const std::unique_ptr<void, std::function<void(void*)>> restore(
        this, [&](void*) { QApplication::setFont(before); });

    startOnCom1();
    const std::string marked = path("my<b>g_y<i>.hex");
    writeFile(marked, ":00000001FF\r\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(marked))});
    EXPECT_EQ(dragAndDrop(&app->mainForm(), data, Qt::CopyAction), "ED");
    app->mainForm().show();
    auto* sbStatus = control<QWidget>("sbStatus");
    ASSERT_TRUE(waitFor([&] { return sbStatus->isVisible(); }, 2000));
    for (const char* name : {"Panel1", "Panel2", "lblMsg"}) {
        SCOPED_TRACE(name);
        auto* label = control<QLabel>(name);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        // Every line of the text, descenders included, lies inside the label,
        // and the label inside its parent.
        EXPECT_GE(label->contentsRect().height(), label->fontMetrics().height());
        EXPECT_GE(label->height(), label->sizeHint().height());
        EXPECT_LE(label->geometry().bottom(), label->parentWidget()->height() - 1);
    }
    EXPECT_EQ(panel("Panel2"), QString::fromStdString(marked + "    "));

    frmWaitCom wait;
    wait.setMessage("Tracker did not respond to select request\rCheck setup and try again");
    auto* message = child<QLabel>(wait.window(), "lblMessage");
    auto* ok = child(wait.window(), "cmdOK");
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    EXPECT_GE(message->height(), message->heightForWidth(message->width()));
    EXPECT_GT(ok->y(), message->geometry().bottom());
    EXPECT_LE(ok->geometry().bottom(), wait.window()->height() - 1);
}

// A station round on the device played in this process: the round's
// threads, the window's and the history's meet with no process started
// beside them (a thread checker loses its view of a thread that starts one).
TEST_F(WindowTest, AStationRoundOnTheDeviceInThisProcessCompletes) {
    start();
    const std::vector<std::string_view> words{"--station", "-p", "COM1",   "-b",
                                              "9600",      "-d", "manual", hexPath};
    const auto given = stationStart(words);
    ASSERT_TRUE(given && given->problems.empty());
    app->Station(given->given);
    frmStation* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        window =
            w->isVisible() && qobject_cast<frmStation*>(w) ? qobject_cast<frmStation*>(w) : window;
    }
    ASSERT_TRUE(window != nullptr && QTest::qWaitForWindowActive(window));
    QString asked;
    script.answer(&asked);
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_TRUE(waitFor([&] { return !window->running(); }, 20000));
    EXPECT_EQ(asked, QStringLiteral("Prepare device for download at 9600\n"));
    EXPECT_EQ(child<QLabel>(window->findChild<StationTile*>(), "lblState")->text(),
              qtext(text::StationComplete));
}

TEST_F(WindowTest, AboutTwiceGivesOneBoxAgainAfterEscapeClosedIt) {
    start();
    for (int round = 0; round < 2; ++round) {
        control<QAction>("mnuAbout")->trigger();
        control<QAction>("mnuAbout")->trigger();
        QWidgetList open = QApplication::topLevelWidgets();
        open.removeIf([](QWidget* w) { return !qobject_cast<frmAbout*>(w) || !w->isVisible(); });
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(child<QLabel>(open[0], "lblVersion")->text(), QStringLiteral("Version 1.0.4"));
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
        EXPECT_FALSE(child(window, "cmdOK")->isEnabled());
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
        EXPECT_EQ(child<QLabel>(dialog.window(), "lblMessage")->text(),
                  QStringLiteral("Unknown error"));
        dialog.setAcknowledging(false);
        dialog.setMessage("Tracker response error. \rCheck setup and try again");
        dialog.setAcknowledging(true);
        QString shown;
        script.then("frmWaitCom", [&](QWidget* window) {
            shown = child<QLabel>(window, "lblMessage")->text();
            viaFrame ? void(window->close()) : click(window, {"cmdOK"});
        });
        dialog.showModal();
        EXPECT_EQ(shown, QStringLiteral("Tracker response error. \nCheck setup and try again"));
        EXPECT_EQ(sink.presses, viaFrame ? 2 : 1);
    }
}

} // namespace
} // namespace quill::test
