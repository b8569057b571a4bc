// SPDX-License-Identifier: MIT
// The History window on a scratch SQLite history: the attempts newest first,
// the typed filter, the CSV of the rows shown, attempts that begin and end
// while it is open; and histories that cannot be opened.

#include "history/historyformat.h"
#include "history/historymodel.h"
#include "history/historystore.h"
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

// The Yield tab counts the rows the filter keeps, bar by bar, and the
// yield of those that ended.
TEST_F(HistoryWindow, TheYieldTabCountsTheRowsTheFilterKeeps) {
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    auto store = std::move(*HistoryStore::open(sqliteHistory(path("quill/history.sqlite"))));
    record(*store, 1000, "COM1", "a.hex", "complete", "line-1");
    record(*store, 4600, "COM2", "a.hex", "complete", "line-2");
    record(*store, 8300, "COM1", "a.hex", "no_erase_answer", "line-1");
    record(*store, 8400, "COM3", "b.hex", "port_failure", "line-2");
    record(*store, 8500, "COM3", "b.hex", "unfinished", "line-1");
    QWidget* window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return table(window).count(u'\n') == 4; }, 5000));
    auto* tab = window->findChild<YieldTab*>();
    int drawn = 0;
    QObject::connect(tab, &YieldTab::drawn, [&] { ++drawn; });
    // The filter; each bar set's outcome and its sum over the bars; the totals;
    // the whole ticks of the count axis, 0 to the highest bar or above.
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"", "complete 2, no erase answer 1, port error 1, unfinished 1",
         "5 attempts: 2 complete, 1 no erase answer, 1 port error, 1 unfinished. Yield 50.0% of "
         "those that ended.",
         4},
        {"line-1", "complete 1, no erase answer 1, unfinished 1",
         "3 attempts: 1 complete, 1 no erase answer, 1 unfinished. Yield 50.0% of those that "
         "ended.",
         3},
        {"b.hex", "port error 1, unfinished 1",
         "2 attempts: 1 port error, 1 unfinished. Yield 0.0% of those that ended.", 3},
        {"zzz", "", "No attempts shown.", 2},
    };
    for (const auto& [filter, shownSets, totals, ticks] : cases) {
        SCOPED_TRACE(filter);
        const int before = drawn;
        if (before == 0) {
            window->findChild<QTabWidget*>()->setCurrentWidget(tab);
        } else {
            child<QLineEdit>(window, "txtFilter")->setText(QString::fromLatin1(filter));
        }
        ASSERT_TRUE(waitFor([&] { return drawn > before && !tab->busy(); }, 5000));
        QStringList sets;
        int counted = 0;
        auto* series =
            static_cast<QStackedBarSeries*>(tab->findChild<QChartView*>()->chart()->series()[0]);
        for (const QBarSet* set : series->barSets()) {
            counted += static_cast<int>(set->sum());
            sets << QStringLiteral("%1 %2").arg(set->label()).arg(set->sum());
        }
        EXPECT_EQ(sets.join(QStringLiteral(", ")), QLatin1String(shownSets));
        EXPECT_EQ(counted, table(window).isEmpty() ? 0 : table(window).count(u'\n') + 1);
        EXPECT_EQ(child<QLabel>(tab, "lblYield")->text(), QLatin1String(totals));
        const auto* axis = static_cast<QValueAxis*>(series->attachedAxes().back());
        EXPECT_EQ(axis->tickCount(), ticks);
        EXPECT_EQ(axis->max(), ticks - 1);
    }

    // A bar hovered says its own counts and yield, and nothing once left.
    child<QLineEdit>(window, "txtFilter")->setText(QStringLiteral("line-1"));
    ASSERT_TRUE(waitFor([&] { return drawn == 5 && !tab->busy(); }, 5000));
    auto* view = tab->findChild<QChartView*>();
    auto* series = static_cast<QStackedBarSeries*>(view->chart()->series()[0]);
    const auto* time = static_cast<QBarCategoryAxis*>(series->attachedAxes().front());
    const std::pair<int, const char*> bars[] = {
        {0, "1 attempts: 1 complete. Yield 100.0% of those that ended."},
        {2, "2 attempts: 1 no erase answer, 1 unfinished. Yield 0.0% of those that ended."},
    };
    for (const auto& [bar, said] : bars) {
        emit series->hovered(true, bar, series->barSets()[0]);
        EXPECT_EQ(view->toolTip(), time->at(bar) + QStringLiteral(": ") + QLatin1String(said));
    }
    emit series->hovered(false, 2, series->barSets()[0]);
    EXPECT_EQ(view->toolTip(), QString());
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
