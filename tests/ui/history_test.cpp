// SPDX-License-Identifier: MIT
// The History window on a scratch SQLite history: the attempts newest first,
// the typed filter, the CSV of the rows shown, attempts that begin and end
// while it is open; and histories that cannot be opened.

#include "history/historyformat.h"
#include "history/historymodel.h"
#include "history/historyports.h"
#include "history/historystore.h"
#include "history/historyyield.h"
#include "ui/portstab.h"
#include "ui/yieldtab.h"
#include "uitest.h"

#include <QAbstractItemView>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QHeaderView>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QValueAxis>

#include <fstream>
#include <sstream>

namespace quill::test {
namespace {

class HistoryWindow : public WindowTest {
  protected:
    void TearDown() override {
        app.reset(); // closes the History window
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qputenv("XDG_DATA_HOME", saved);
    }
    // The program started, COM Setup cancelled, then Ctrl+H, twice: one window.
    QWidget* open() {
        start();
        script.then("frmComSetup", [](QWidget* d) { click(d, {"cmdCancel"}); });
        app->Main();
        app->mainForm().activateWindow(); // shortcuts reach the active window only
        EXPECT_TRUE(QTest::qWaitForWindowActive(&app->mainForm()));
        QTest::keyClick(&app->mainForm(), Qt::Key_H, Qt::ControlModifier);
        QTest::keyClick(&app->mainForm(), Qt::Key_H, Qt::ControlModifier);
        QWidgetList found = QApplication::topLevelWidgets();
        found.removeIf([](QWidget* w) {
            return w->objectName() != QLatin1String("frmHistory") || !w->isVisible();
        });
        EXPECT_EQ(found.size(), 1);
        return found.value(0);
    }
    // The table, a row a line: the columns from the port to the operator, "|" between.
    static QString table(QWidget* window) {
        const auto* model = window->findChild<QAbstractItemView*>()->model();
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = HistoryModel::Port; c <= HistoryModel::Operator; ++c) {
                cells << model->index(r, c).data().toString();
            }
            rows << cells.join(u'|');
        }
        return rows.join(u'\n');
    }
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
};

// Begins an attempt, and ends it unless it is to stay unfinished.
Attempt record(HistoryStore& store, int64_t startS, std::string port, std::string file,
               std::string outcome, std::string station, std::string batch = {}) {
    Attempt a;
    a.startedMs = startS * 1000;
    a.station = station;
    a.operatorName = "ann";
    a.port = port;
    a.filePath = "/fw/" + file;
    a.sha256 = std::string(60, 'c') + std::to_string(startS);
    a.recordsTotal = 9;
    a.batch = batch;
    a.outcome = outcome;
    a.id = *store.begin(a);
    a.unit = batch.empty() ? std::nullopt : std::optional<int64_t>(1); // first of its batch
    if (outcome != "unfinished") {
        a.endedMs = a.startedMs + 2500;
        a.recordsSent = 9;
        EXPECT_FALSE(store.end(a));
    }
    return a;
}

TEST_F(HistoryWindow, NewestFirstFilteredExportedAndJoinedByNewAttempts) {
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    auto store = std::move(*HistoryStore::open(sqliteHistory(path("quill/history.sqlite"))));
    Attempt a = record(*store, 1000, "COM1", "alpha.hex", "complete", "line-1", "lot7");
    a.unit = 1; // the store numbers the units of a batch
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0";
    record(*store, 3000, byId, "beta.hex", "no_erase_answer", "line-2");
    record(*store, 500, "COM4", "old.hex", "some_later_outcome", "line-1");
    const Attempt c = record(*store, 2000, "COM2", "Alpha-2.hex", "unfinished", "line-1");
    QWidget* window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return table(window).count(u'\n') == 3; }, 5000));
    EXPECT_EQ(
        table(window),
        QString::fromStdString(byId) +
            QStringLiteral("|beta.hex|cccccccccccc|no erase answer|"
                           "9/9|2.5|line-2|ann\n"
                           "COM2|Alpha-2.hex|cccccccccccc|unfinished|0/9||line-1|ann\n"
                           "COM1|alpha.hex|cccccccccccc|complete|9/9|2.5|line-1|ann\n"
                           "COM4|old.hex|cccccccccccc|some_later_outcome|9/9|2.5|line-1|ann"));
    // Failed rows tinted, an outcome this version does not know among them.
    auto* view = window->findChild<QTableView*>();
    QStringList tinted;
    for (int r = 0; r < 4; ++r) {
        tinted << QString::number(view->model()->index(r, 0).data(Qt::BackgroundRole).isValid());
    }
    EXPECT_EQ(tinted.join(u' '), QLatin1String("1 0 0 1"));
    // Each column as wide as its widest text, up to about 40 characters.
    const QFontMetrics metrics = view->fontMetrics();
    EXPECT_EQ(view->columnWidth(HistoryModel::Port), metrics.averageCharWidth() * 40);
    EXPECT_GE(view->columnWidth(HistoryModel::Outcome),
              metrics.horizontalAdvance(QStringLiteral("no erase answer")));

    auto* txtFilter = child<QLineEdit>(window, "txtFilter");
    // What is typed, and the files shown, top to bottom.
    const std::pair<const char*, const char*> filters[] = {
        {"ALPHA", "Alpha-2.hex alpha.hex"},
        {"ftdi", "beta.hex"},
        {"ERASE ANSWER", "beta.hex"},
        {"UNFINISHED", "Alpha-2.hex"},
        {"c3000", "beta.hex"},
        {"lot7", "alpha.hex"},
        {"LINE-1", "Alpha-2.hex alpha.hex old.hex"},
        {"ann", "beta.hex Alpha-2.hex alpha.hex old.hex"},
        {"9/9", ""},
    };
    for (const auto& [typed, shown] : filters) {
        txtFilter->setText(QString::fromLatin1(typed));
        QStringList files;
        for (const QString& row : table(window).split(u'\n', Qt::SkipEmptyParts)) {
            files << row.section(u'|', 1, 1);
        }
        EXPECT_EQ(files.join(u' '), QLatin1String(shown)) << typed;
    }

    txtFilter->setText(QStringLiteral("alpha"));
    const std::string csvPath = path("shown.csv");
    script.then("QFileDialog", [&](QWidget* dialog) { typeFileName(dialog, csvPath); });
    click(window, {"cmdExport"});
    std::ostringstream csv;
    csv << std::ifstream(csvPath, std::ios::binary).rdbuf();
    EXPECT_EQ(csv.str(), historyCsv({c, a}));

    // Begun while the window is open: shown unfinished, then as it ended.
    const auto firstRow = [&](const char* row) {
        return waitFor([&] { return table(window).startsWith(QLatin1String(row)); }, 5000);
    };
    Attempt d = record(*store, 4000, "COM3", "alpha-3.hex", "unfinished", "line-3");
    EXPECT_TRUE(firstRow("COM3|alpha-3.hex|cccccccccccc|unfinished|0/9||line-3|ann\n"));
    d.endedMs = d.startedMs + 1000;
    d.outcome = "complete";
    ASSERT_FALSE(store->end(d));
    EXPECT_TRUE(firstRow("COM3|alpha-3.hex|cccccccccccc|complete|0/9|1.0|line-3|ann\n"));

    // A header clicked, and again: the rows as the database sorts them, and
    // an attempt begun meanwhile in its place by that order.
    txtFilter->clear();
    const auto ports = [&] {
        QStringList shown;
        for (const QString& row : table(window).split(u'\n')) {
            shown << row.section(u'|', 0, 0).left(5);
        }
        return shown.join(u' ');
    };
    QHeaderView* header = view->horizontalHeader();
    const QString up = QStringLiteral("/dev/ COM1 COM2 COM3 COM4");
    for (const bool again : {false, true}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          {header->sectionViewportPosition(HistoryModel::Port) + 4, 4});
        ASSERT_EQ(header->sortIndicatorOrder() == Qt::AscendingOrder, !again);
        ASSERT_TRUE(waitFor(
            [&] { return ports() == (again ? QStringLiteral("COM4 COM3 COM2 COM1 /dev/") : up); },
            5000));
    }
    Attempt e = record(*store, 5000, "COM25", "e.hex", "unfinished", "line-3");
    EXPECT_TRUE(waitFor(
        [&] { return ports() == QStringLiteral("COM4 COM3 COM25 COM2 COM1 /dev/"); }, 5000));
    e.outcome = "complete";
    e.endedMs = e.startedMs + 1000;
    ASSERT_FALSE(store->end(e));
    EXPECT_TRUE(firstRow("COM4|old.hex"));
    EXPECT_TRUE(waitFor(
        [&] {
            return table(window)
                .section(u'\n', 2, 2)
                .startsWith(QLatin1String("COM25|e.hex|cccccccccccc|complete"));
        },
        5000));
}

// A shift over two hours: unit 1 done at once, 2 retried into the next
// hour, 3 failed twice, 4 stopped, 5 cancelled at the prompt, 6's port
// missing, 7 done, 8 still running, 9 failed on a second adapter on COM1.
std::vector<Attempt> shift() {
    const auto row = [](int64_t id, int64_t startS, std::string port, int unit,
                        std::optional<int> no, std::string outcome) {
        Attempt a;
        a.id = id;
        a.startedMs = startS * 1000;
        a.port = std::move(port);
        a.byId = a.port == "COM2" ? "usb-FTDI-A" : "";
        a.usbSerial = unit == 9 ? "A5XK" : "";
        a.outcome = std::move(outcome);
        a.batch = "lot7";
        a.unit = unit;
        a.unitKey = "u" + std::to_string(unit);
        a.attemptNo = no;
        return a;
    };
    return {row(1, 100, "COM1", 1, 1, "complete"),
            row(2, 200, "COM2", 2, 1, "no_erase_answer"),
            row(3, 300, "COM2", 3, 1, "no_erase_answer"),
            row(4, 400, "COM2", 3, 2, "port_failure"),
            row(5, 500, "COM1", 4, 1, "interrupted"),
            row(6, 600, "COM3", 5, std::nullopt, "cancelled"),
            row(7, 3700, "COM2", 2, 2, "complete"),
            row(8, 3800, "COM4", 6, std::nullopt, "port_failure"),
            row(9, 3900, "COM1", 7, 1, "complete"),
            row(10, 3950, "COM1", 9, 1, "tracker_handshake"),
            row(11, 4000, "COM2", 8, 1, "unfinished")};
}

// The rows the filter keeps: the table's batch, unit and attempt; the Yield
// tab's units by unitYield, a unit in the bar of its first attempt; the
// Ports tab's failures per port and adapter, the worst first.
TEST_F(HistoryWindow, UnitsOfAShiftInTheTableAndTheYieldAndPortsTabs) {
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    QWidget* window = open();
    ASSERT_NE(window, nullptr);
    window->findChild<HistoryModel*>()->take(shift());
    const auto* rows = window->findChild<QTableView*>()->model();
    QStringList units;
    for (int r = 0; r < rows->rowCount(); ++r) {
        units << QStringLiteral("%1 %2/%3")
                     .arg(rows->index(r, HistoryModel::Batch).data().toString(),
                          rows->index(r, HistoryModel::Unit).data().toString(),
                          rows->index(r, HistoryModel::AttemptNo).data().toString());
    }
    EXPECT_EQ(units.join(u','), QStringLiteral("lot7 8/1,lot7 9/1,lot7 7/1,lot7 6/,lot7 2/2,lot7 "
                                               "5/,lot7 4/1,lot7 3/2,lot7 3/1,lot7 2/1,lot7 1/1"));

    auto* tab = window->findChild<YieldTab*>();
    auto* txtFilter = child<QLineEdit>(window, "txtFilter");
    const auto redrawn = [&](CountingTab* shown, const QString& filter) {
        int drawn = 0;
        const auto counted = QObject::connect(shown, &CountingTab::drawn, [&] { ++drawn; });
        window->findChild<QTabWidget*>()->setCurrentWidget(shown);
        txtFilter->setText(filter);
        const bool done = waitFor([&] { return drawn > 0 && !shown->busy(); }, 5000);
        QObject::disconnect(counted);
        return done;
    };
    // The filter; the bar sets' sums; the totals; the count axis's ticks.
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"", "2 1 2",
         "Units 5: first pass 2 (40%), final 3 (60%); 2 not started, 1 stopped, 1 running", 4},
        {"COM2", "0 1 1", "Units 2: first pass 0 (0%), final 1 (50%); 1 running", 3},
        {"COM1", "2 0 1", "Units 3: first pass 2 (66.7%), final 2 (66.7%); 1 stopped", 3},
        {"zzz", "0 0 0", "No attempts shown.", 2},
    };
    for (const auto& [filter, sums, totals, ticks] : cases) {
        SCOPED_TRACE(filter);
        ASSERT_TRUE(redrawn(tab, QString::fromLatin1(filter)));
        std::vector<UnitRow> kept;
        for (const Attempt& a : window->findChild<HistorySearch*>()->shown()) {
            kept.push_back(unitRowOf(a));
        }
        const UnitYield y = unitYield(kept);
        auto* series =
            static_cast<QStackedBarSeries*>(tab->findChild<QChartView*>()->chart()->series()[0]);
        QStringList shownSums;
        for (const QBarSet* set : series->barSets()) {
            shownSums << QString::number(set->sum());
        }
        EXPECT_EQ(shownSums.join(u' '), QLatin1String(sums));
        const auto sum = [&](int set) { return int(series->barSets()[set]->sum()); };
        EXPECT_EQ(std::pair(sum(0) + sum(1) + sum(2), sum(0) + sum(1)),
                  std::pair(y.units, y.final));
        EXPECT_EQ(child<QLabel>(tab, "lblYield")->text(), QLatin1String(totals));
        EXPECT_EQ(static_cast<QValueAxis*>(series->attachedAxes().back())->tickCount(), ticks);
    }

    // A bar hovered says its own units, unit 2 in the first hour with its retry.
    ASSERT_TRUE(redrawn(tab, {}));
    auto* view = tab->findChild<QChartView*>();
    auto* series = static_cast<QStackedBarSeries*>(view->chart()->series()[0]);
    const auto* time = static_cast<QBarCategoryAxis*>(series->attachedAxes().front());
    const std::pair<int, const char*> bars[] = {
        {0, "Units 3: first pass 1 (33.3%), final 2 (66.7%); 1 not started, 1 stopped"},
        {1, "Units 2: first pass 1 (50%), final 1 (50%); 1 not started, 1 running"},
    };
    for (const auto& [bar, said] : bars) {
        emit series->hovered(true, bar, series->barSets()[0]);
        EXPECT_EQ(view->toolTip(), time->at(bar) + QStringLiteral(": ") + QLatin1String(said));
    }
    emit series->hovered(false, 1, series->barSets()[0]);
    EXPECT_EQ(view->toolTip(), QString());

    // Port, adapter, units/attempts judged, failed, rate, commonest, not started.
    auto* ports = window->findChild<PortsTab*>();
    ASSERT_TRUE(redrawn(ports, {}));
    const auto* table = child<QTableWidget>(ports, "tblPorts");
    QStringList shown;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < PortsTab::Columns; ++c) {
            cells << table->item(r, c)->text();
        }
        shown << cells.join(u'|');
    }
    EXPECT_EQ(shown.join(u'\n'), QLatin1String("COM1|A5XK|1/1|1|100%|handshake failed|0\n"
                                               "COM2|usb-FTDI-A|2/4|3|75%|no erase answer|0\n"
                                               "COM1||2/2|0|0%||0\n"
                                               "COM3||0/0|0|-||1\n"
                                               "COM4||0/0|0|-||1"));
}

// The commonest failure of a port: the first enumerated of those met most;
// an outcome this version does not know is a failure.
TEST(PortFailures, CommonestFailure) {
    const auto row = [](const char* outcome) {
        return PortRow{"COM1", "", "u1", 1, yieldOutcome(outcome)};
    };
    const auto commonest = [](std::vector<PortRow> rows) {
        return portFailures(rows).at(0).commonest;
    };
    EXPECT_EQ(commonest({row("port_failure"), row("no_erase_answer")}), Outcome::NoEraseAnswer);
    EXPECT_EQ(commonest({row("idle_timeout"), row("later_outcome"), row("later_outcome")}),
              Outcome::Failure);
}

// Said in the window, which opens all the same; a password never.
TEST_F(HistoryWindow, AHistoryThatCannotBeOpenedIsSaidInTheWindow) {
    std::ofstream(path("file")) << "not a folder";
    const struct {
        const char *url, *dataHome, *said;
    } cases[] = {
        {"postgresql://ann:secret@db/line?bogus=1", "",
         "The history URL is not understood (postgresql://ann:***@db/line): unknown parameter "
         "bogus"},
        {"", "file",
         "The history could not be opened (%1/file/quill/history.sqlite): Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        settings().SaveSetting("History", "URL", c.url);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(path(c.dataHome)));
        QWidget* window = open();
        ASSERT_NE(window, nullptr);
        auto* said = child<QLabel>(window, "lblFailure");
        EXPECT_TRUE(waitFor([&] { return said->isVisible(); }, 5000));
        EXPECT_EQ(said->text(),
                  QString::fromLatin1(c.said).replace(QLatin1String("%1"), dir.path()));
    }
}

} // namespace
} // namespace quill::test
