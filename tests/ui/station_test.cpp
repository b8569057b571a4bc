// SPDX-License-Identifier: MIT
// The station window against quill-devsim playing a line of devices: a
// round flashes every device at once and each tile says how its device
// ended, one that fails ends alone, "Retry failed" downloads again to that
// port alone, held to the same firmware, Stop ends every device; the counts
// and the history follow. Opened as `quill --station ...` opens it.

#include "app/startoptions.h"
#include "harness.h"
#include "history/historylocation.h"
#include "history/historystore.h"
#include "history/journal.h"
#include "runner/runnertexts.h"
#include "ui/frmstation.h"
#include "ui/stationheader.h"
#include "ui/stationtile.h"
#include "ui/stationunits.h"
#include "ui/uitexts.h"
#include "uitest.h"

#include <QDateTime>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>

#include <algorithm>
#include <set>
#include <sstream>

namespace quill::test {
namespace {

using e2e::Devices;
using e2e::Scratch;

class StationWindow : public testing::Test {
  protected:
    void TearDown() override {
        app.reset();
        qputenv("XDG_DATA_HOME", savedData);
    }
    // `quill --station` with these options, the ports of `line` and the
    // firmware; the window, active.
    frmStation* open(const Devices& line, const std::string& options = " -b 38400 -d manual") {
        return open(line.ports() + options);
    }
    frmStation* open(const std::string& options) {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(s.path("data")));
        std::vector<std::string> words;
        std::istringstream in("--station" + options + " " + s.path("app.hex"));
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        const auto start = stationStart(std::vector<std::string_view>(words.begin(), words.end()));
        EXPECT_TRUE(start && start->problems.empty());
        return station(start->given);
    }
    // The application started as `quill --station` starts it, on the
    // scratch settings; its window, active.
    frmStation* station(const RunRequest& given) {
        return openStation(app, s.path("quill.ini"), given);
    }
    // The keys reach the window that is active, as it must be again once
    // the prompt has closed: Esc is to stop the round the prompt began.
    static void press(frmStation* window, Qt::Key key) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, key);
    }
    // Presses `key`, answers the box that starts so (the Manual prompt)
    // with `button`, and waits for the round's end; the box's text.
    QString round(frmStation* window, Qt::Key key, const char* prompt = nullptr,
                  int button = QMessageBox::Ok) {
        QString asked;
        if (prompt != nullptr) {
            script.press(&asked, button);
        }
        press(window, key);
        EXPECT_TRUE(waitFor([&] { return !window->running(); }, 20000));
        if (prompt != nullptr) {
            EXPECT_TRUE(asked.startsWith(QString::fromLatin1(prompt))) << asked.toStdString();
        }
        return asked;
    }
    // The header counts the units the window kept, as every view counts them.
    static void counted(frmStation* window, size_t attempts) {
        EXPECT_EQ(window->units().rows().size(), attempts);
        EXPECT_EQ(said(window, "lblCounts").toStdString(), unitsText(window->units().yield()));
    }
    // Each tile as "STATE|phase|records shown", a line each.
    static std::string tiles(QWidget* window) {
        std::string text;
        for (auto* tile : window->findChildren<StationTile*>()) {
            text += said(tile, "lblState").toStdString() + "|" +
                    said(tile, "lblPhase").toStdString() + "|" +
                    child<QProgressBar>(tile, "prbRecords")->text().toStdString() + "\n";
        }
        return text;
    }
    static std::string serials(QWidget* window) {
        std::string text;
        for (auto* tile : window->findChildren<StationTile*>()) {
            text += said(tile, "lblSerial").toStdString() + "|";
        }
        return text;
    }
    static QString said(QWidget* window, const char* name) {
        return child<StationLabel>(window, name)->whole();
    }

    Scratch s;
    const std::string binary = e2e::firmware(s, 1024);
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    std::unique_ptr<Application> app;
    ModalScript script;
};

constexpr const char* complete = "✔ COMPLETE|complete|67 of 67 records\n";
constexpr const char* noAnswer = "✖ FAILED|no answer to the erase request|0 of 67 records\n";

TEST_F(StationWindow, FourDevicesCompleteEachARowOfTheBatchAndTheChoiceIsKept) {
    Devices line(s, 4);
    frmStation* window = open(line, " -b 38400 -d manual --batch lot7");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quill Station"));
    EXPECT_EQ(tiles(window), "Ready||\nReady||\nReady||\nReady||\n");
    round(window, Qt::Key_F5, "Prepare 4 devices for download at 38400\n");
    EXPECT_EQ(tiles(window), std::string(complete) + complete + complete + complete);
    counted(window, 4);
    EXPECT_EQ(said(window, "lblBatch"), QStringLiteral("Batch lot7"));
    EXPECT_TRUE(said(window, "lblFirmware").startsWith(QStringLiteral("app.hex   SHA-256 ")));
    EXPECT_FALSE(child<QWidget>(window, "cmdRetry")->isEnabled()); // nothing failed
    for (int k = 1; k <= 4; ++k) {
        EXPECT_TRUE(line.image(k) == binary) << "device " << k;
    }
    std::set<int> units;
    for (const QJsonObject& row : e2e::historyRows(s)) {
        EXPECT_EQ(row[u"program"].toString(), QStringLiteral("quill"));
        EXPECT_EQ(row[u"outcome"].toString(), QStringLiteral("complete"));
        EXPECT_EQ(row[u"batch"].toString(), QStringLiteral("lot7"));
        units.insert(row[u"unit"].toInt());
    }
    EXPECT_EQ(units, (std::set<int>{1, 2, 3, 4}));

    // Offered next time, as chosen.
    window->close();
    frmStation* again = station({});
    EXPECT_EQ(child<QLineEdit>(again, "txtPorts")->text().toStdString(),
              line.port(1) + " " + line.port(2) + " " + line.port(3) + " " + line.port(4));
    EXPECT_EQ(said(again, "lblBatch"), QStringLiteral("Batch lot7"));
}

TEST_F(StationWindow, ADeviceThatNeverAnswersFailsAloneAndOnlyItsPortIsRetried) {
    Devices line(s, 4, "--fault 3:no-erase-xoff");
    // Every unit draws a number of its own, the retried one too, from the
    // history the settings name, where each round's rows go.
    const std::string history = " --history-url " + s.path("line.sqlite");
    writeFile(s.path("quill.ini"), "[Serial]\nAddress=08000100\nStart=500\n[History]\nURL=" +
                                       s.path("line.sqlite") + "\n");
    frmStation* window = open(line);
    // A barcode scanner ends what it types with Enter: no round starts.
    auto* batch = child<QLineEdit>(window, "txtBatch");
    batch->setFocus();
    QTest::keyClicks(batch, QStringLiteral("lot8\r"));
    QTest::keyClick(batch, Qt::Key_Enter);
    EXPECT_FALSE(window->running());
    round(window, Qt::Key_F5, "Prepare 4 devices for download at 38400\n");
    EXPECT_EQ(tiles(window), std::string(complete) + complete + noAnswer + complete);
    // Numbers go in the order the devices answer; the silent one spends none.
    const std::string numbered = serials(window);
    std::vector<std::string> drawn;
    for (int k : {0, 1, 3}) {
        drawn.push_back(said(window->findChildren<StationTile*>()[k], "lblSerial").toStdString());
    }
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, (std::vector<std::string>{"Serial 500", "Serial 501", "Serial 502"}));
    EXPECT_EQ(said(window->findChildren<StationTile*>()[2], "lblSerial"), QString());
    // The header names the number the next unit draws.
    auto* header = window->findChild<StationHeader*>();
    EXPECT_TRUE(waitFor(
        [&] { return said(header, "lblSerial").endsWith(QStringLiteral(", next 503")); }, 5000))
        << said(header, "lblSerial").toStdString();
    counted(window, 4);
    auto* failed = window->findChildren<StationTile*>()[2];
    EXPECT_EQ(said(failed, "lblMessage"), qtext(outcomeInstruction(Outcome::NoEraseAnswer).data()));
    EXPECT_TRUE(child<QLabel>(failed, "lblMessage")
                    ->toolTip()
                    .startsWith(QStringLiteral(
                        "No response on erase flash request.\nDevice may not be ready")));

    // Cancel at Retry failed's prompt, which names its port, leaves every
    // tile as it was, and Retry failed offered.
    const int heard[] = {line.heard(1), line.heard(2), line.heard(3), line.heard(4)};
    const QString asked =
        round(window, Qt::Key_F6, "Prepare device for download at 38400\n", QMessageBox::Cancel);
    EXPECT_TRUE(asked.endsWith(QString::fromStdString("Retry failed on: " + line.port(3))))
        << asked.toStdString();
    EXPECT_EQ(tiles(window), std::string(complete) + complete + noAnswer + complete);
    EXPECT_EQ(serials(window), numbered);
    EXPECT_TRUE(child<QWidget>(window, "cmdRetry")->isEnabled());
    counted(window, 5);
    round(window, Qt::Key_F6, "Prepare device for download at 38400\n");
    EXPECT_EQ(tiles(window), std::string(complete) + complete + noAnswer + complete);
    counted(window, 6);
    for (int k : {1, 2, 4}) {
        EXPECT_EQ(line.heard(k), heard[k - 1]) << "device " << k << " was touched again";
    }
    EXPECT_GT(line.heard(3), heard[2]);
    // The same unit, still without a number: its device never answered.
    ASSERT_EQ(window->lastRequest().units.size(), 1u);
    EXPECT_FALSE(window->lastRequest().units[0].unitKey.empty());
    EXPECT_EQ(window->lastRequest().units[0].serial, "");
    // scripts/station-screenshot.sh keeps this moment, a retry after a round, for the README.
    if (const QString shot = qEnvironmentVariable("QUILL_SCREENSHOT"); !shot.isEmpty()) {
        EXPECT_TRUE(window->grab().save(shot));
    }
    EXPECT_EQ(serials(window), numbered);
    EXPECT_EQ(e2e::historyRows(s, history + " --outcome no_erase_answer").size(), 2u);
    EXPECT_EQ(e2e::historyRows(s, history).size(), 6u); // the cancelled one too

    // The file changed on disk: Retry, held to the firmware that failed,
    // refuses it before the port hears a byte.
    writeFile(s.path("app.hex"), test::hexFile(3));
    const int before = line.heard(3);
    round(window, Qt::Key_F6, text::NotExpectedFirmware);
    EXPECT_EQ(said(window, "lblSaid"), QString::fromLatin1(text::StationRetryFileChanged));
    EXPECT_EQ(line.heard(3), before);
    counted(window, 7);
}

// Esc stops every device at once, mid-download: each unit is STOPPED,
// neither complete nor failed. Closing the window meanwhile asks first; No
// keeps the round going, Yes stops it and the window goes at its end.
TEST_F(StationWindow, StopEndsEveryDeviceAndClosingAsksFirst) {
    Devices line(s, 4, "--record-write-ms 20");
    frmStation* window = open(line);
    const auto startRound = [&] {
        QString asked;
        script.answer(&asked);
        const int before = test::count(line.log(4), "host> :10");
        press(window, Qt::Key_F5);
        // The window's events go on meanwhile: the prompt is answered in them,
        // and this round's records reach the device.
        ASSERT_TRUE(waitFor(
            [&] { return !asked.isEmpty() && test::count(line.log(4), "host> :10") >= before + 3; },
            10000));
    };
    const auto close = [&](QMessageBox::StandardButton answer) {
        QString asked;
        script.press(&asked, answer);
        EXPECT_FALSE(window->close());
        EXPECT_EQ(asked, QStringLiteral("4 devices are being flashed. Stop them and close?"));
    };
    startRound();
    close(QMessageBox::No);
    EXPECT_TRUE(window->isVisible() && window->running());
    // Del on a focused tile stops its device alone.
    auto* second = window->findChildren<StationTile*>()[1];
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] { return second->state() == StationTile::State::Stopped; }, 10000));
    EXPECT_TRUE(window->running());
    press(window, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !window->running(); }, 10000));
    const std::string stopped = tiles(window);
    EXPECT_EQ(test::count(stopped, "■ STOPPED|interrupted|"), 4) << stopped;
    const auto* tile = window->findChildren<StationTile*>()[0];
    EXPECT_NE(tile->palette().color(QPalette::Window), QColor(0xc6, 0x28, 0x28)); // not failed's
    counted(window, 4);
    EXPECT_EQ(said(window, "lblSaid"), QStringLiteral("Download interrupted"));
    EXPECT_EQ(e2e::historyRows(s, "--outcome interrupted").size(), 4u);

    startRound();
    const QPointer<frmStation> alive = window;
    close(QMessageBox::Yes);
    EXPECT_TRUE(waitFor([&] { return alive.isNull(); }, 10000));
    EXPECT_EQ(e2e::historyRows(s, "--outcome interrupted").size(), 8u);
}

// The menus of `quill --station` show the main window's dialogs; Quit
// closes the window.
TEST_F(StationWindow, ItsMenusShowTheDialogsOfTheMainWindow) {
    Devices line(s, 1);
    frmStation* window = open(line);
    const auto trigger = [&](const char* name) { child<QAction>(window, name)->trigger(); };
    QWidget* serialOwner = nullptr;
    script.then("frmSerial", [&](QWidget* dialog) {
        serialOwner = dialog->parentWidget();
        dialog->close();
    });
    trigger("mnuSerial");
    EXPECT_EQ(serialOwner, window);
    writeFile(s.path("b.hex"), test::hexFile(3));
    script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, s.path("b.hex")); });
    trigger("mnuFileOpen");
    EXPECT_EQ(child<QLineEdit>(window, "txtFile")->text().toStdString(), s.path("b.hex"));
    for (const auto& [name, kind] : {std::pair{"mnuFileHistory", "quill::frmHistory"},
                                     std::pair{"mnuAbout", "quill::frmAbout"}}) {
        trigger(name);
        QWidgetList shown = QApplication::topLevelWidgets();
        shown.removeIf([&](QWidget* w) { return !w->isVisible() || !w->inherits(kind); });
        ASSERT_EQ(shown.size(), 1) << name;
        shown[0]->close();
    }
    // Station settings: the idle limit and a slot's name, shown on its tile
    // and kept with the port.
    script.then("frmStationSettings", [&](QWidget* dialog) {
        child<QSpinBox>(dialog, "spnIdle")->setValue(30);
        child<QLineEdit>(dialog, "txtSlot1")->setText(u"Bench A"_qs);
        click(dialog, {"cmdOK"});
    });
    trigger("mnuStationSettings");
    auto* tile = window->findChild<StationTile*>();
    EXPECT_EQ(said(tile, "lblSlot"), u"Bench A"_qs);
    EXPECT_EQ(said(tile, "lblPort").toStdString(), line.port(1));
    const QPointer<frmStation> alive = window;
    trigger("mnuFileQuit");
    EXPECT_TRUE(waitFor([&] { return alive.isNull(); }, 5000));
    const QtSettingsStore stored(s.path("quill.ini"));
    EXPECT_EQ(stored.GetSetting("Station", "IDLE"), "30");
    EXPECT_EQ(stored.GetSetting("Station", "PORTS"), "\"Bench A=" + line.port(1) + "\"");
}

// The tiles fill the window and grow with it, every one whole and in view
// with the buttons; a port that is not there says so before any round.
TEST_F(StationWindow, TilesFillTheWindowAndAMissingPortShowsBeforeARound) {
    Devices line(s, 1);
    for (const int count : {16, 4}) {
        std::string ports = line.ports();
        for (int k = 2; k <= count; ++k) {
            ports += " -p " + s.path("gone" + std::to_string(k));
        }
        frmStation* window = open(ports);
        const QSize screen = window->screen()->availableGeometry().size();
        EXPECT_TRUE(screen.expandedTo(window->frameGeometry().size()) == screen) << count;
        const auto tiles = window->findChildren<StationTile*>();
        ASSERT_EQ(tiles.size(), count);
        EXPECT_TRUE(waitFor(
            [&] {
                return std::all_of(tiles.begin() + 1, tiles.end(), [](StationTile* t) {
                    return said(t, "lblCheck") == qtext(text::StationPortMissing) &&
                           t->portCheck().state == PortCheck::State::Missing;
                });
            },
            5000));
        EXPECT_TRUE(child<QWidget>(tiles[0], "lblCheck")->isHidden());
        int width = 0;
        for (const QSize size : {QSize(800, 600), QSize(1920, 1080)}) {
            window->resize(size);
            QTest::qWait(50); // the layout's requests
            EXPECT_GT(tiles[0]->width(), width) << count << " tiles grow with the window";
            width = tiles[0]->width();
        }
        const QRect room = window->rect();
        EXPECT_FALSE(child<QScrollArea>(window, "scrTiles")->verticalScrollBar()->isVisible());
        for (QWidget* w : window->findChildren<QPushButton*>(QRegularExpression(u"^cmd"_qs))) {
            EXPECT_TRUE(room.contains(QRect(w->mapTo(window, QPoint()), w->size())));
        }
        int right = 0; // the tiles reach the right edge of their room
        for (StationTile* t : tiles) {
            EXPECT_TRUE(room.contains(QRect(t->mapTo(window, QPoint()), t->size()))) << count;
            for (StationLabel* l : t->findChildren<StationLabel*>()) {
                EXPECT_TRUE(!l->clipped() || l->toolTip() == l->whole()) << count;
            }
            // Read from 2 m: the state's word at least 24 px high.
            EXPECT_FALSE(child<StationLabel>(t, "lblState")->clipped());
            EXPECT_GE(child<StationLabel>(t, "lblState")->font().pixelSize(), 24) << count;
            right = std::max(right, t->geometry().right());
        }
        EXPECT_LT(tiles[0]->parentWidget()->width() - right, 20);
        window->close();
    }
}

// A process killed mid-round leaves its rows unfinished: the next window
// of this station names the round's ports and when it began, once.
TEST_F(StationWindow, ARoundLeftUnfinishedIsNamedWhenTheWindowOpensNext) {
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(s.path("data")));
    const int64_t started = QDateTime(QDate(2026, 12, 7), QTime(14, 2)).toMSecsSinceEpoch();
    {
        auto store = HistoryStore::open(sqliteHistory(defaultHistoryPath()));
        ASSERT_TRUE(store);
        for (const auto& [program, port] : {std::pair{"quill", "/dev/ttyUSB1"},
                                            {"quill-cli", "/dev/ttyUSB2"},
                                            {"quill", "/dev/ttyUSB3"}}) {
            Attempt a = newAttempt(program, {});
            a.port = port;
            a.startedMs = started;
            ASSERT_TRUE((*store)->begin(a));
        }
    }
    {
        // A beginning that only reached this station's journal before the
        // process died is found as well.
        auto journal = Journal::open(sqliteHistory(defaultHistoryPath()));
        ASSERT_TRUE(journal);
        JournalEntry begun{JournalEntry::Kind::Begin, newAttempt("quill", {}), {}};
        begun.attempt.key = newAttemptKey();
        begun.attempt.port = "/dev/ttyUSB4";
        begun.attempt.startedMs = started + 1;
        ASSERT_FALSE((*journal)->add(begun));
    }
    const std::string port = " -p " + s.path("gone");
    frmStation* window = open(port);
    EXPECT_TRUE(waitFor([&] { return child<QWidget>(window, "lblNotice")->isVisible(); }, 5000));
    EXPECT_EQ(
        said(window, "lblNotice"),
        QStringLiteral("Interrupted 2026-12-07 14:02: /dev/ttyUSB1, /dev/ttyUSB3, /dev/ttyUSB4 did "
                       "not finish."));
    window->close();
    window = open(port);
    QTest::qWait(200);
    EXPECT_TRUE(child<QWidget>(window, "lblNotice")->isHidden());
}

} // namespace
} // namespace quill::test
