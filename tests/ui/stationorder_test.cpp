// SPDX-License-Identifier: MIT
// The station window running a work order: a barcode scanner types the
// order's name and Enter into the field that has the focus, the window
// shows the order's recipe and fixes the file and line to it, a round runs
// the order, and the header follows the order's units across every station
// that writes the same history. Orders and recipes are made through the
// store, in the history of the scratch folder.

#include "harness.h"
#include "history/historylocation.h"
#include "recipe/recipestore.h"
#include "shared/module1.h"
#include "ui/frmstation.h"
#include "ui/stationheader.h"
#include "ui/stationlabel.h"
#include "ui/stationtile.h"
#include "ui/uitexts.h"
#include "uitest.h"

#include <QMessageBox>

namespace quill::test {
namespace {

using e2e::Devices;
using e2e::Scratch;

class StationOrderWindow : public testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(s.path("data")));
        auto opened = RecipeStore::open(sqliteHistory(defaultHistoryPath()));
        ASSERT_TRUE(opened) << opened.error().text();
        store = std::move(*opened);
    }
    // Recipe motor@1 of `hex`, and motor@2, retired; orders 4711 and 4700
    // (closed) of 5 units of motor@1, and 4800 of motor@2.
    void publish(const std::string& hex) {
        Recipe recipe;
        recipe.name = "motor";
        recipe.firmware.assign(hex.begin(), hex.end());
        recipe.fileName = "motor-ctl.hex";
        recipe.settings.baud = 38400;
        recipe.settings.device = device_manual;
        recipe.note = "rev B boards only";
        ASSERT_TRUE(store->publish(recipe));
        const auto published = store->find({"motor", 1});
        ASSERT_TRUE(published && *published);
        sha = (*published)->sha256;
        ASSERT_TRUE(store->publish(recipe)); // motor@2, retired below
        for (const auto& [name, version] : {std::pair{"4711", 1}, {"4700", 1}, {"4800", 2}}) {
            WorkOrder order;
            order.name = name;
            order.recipeName = "motor";
            order.recipeVersion = version;
            order.quantity = 5;
            ASSERT_FALSE(store->openOrder(order));
        }
        ASSERT_TRUE(store->closeOrder("4700"));
        ASSERT_TRUE(store->retire("motor", 2));
    }
    void TearDown() override {
        app.reset();
        qputenv("XDG_DATA_HOME", savedData);
    }
    frmStation* station(const RunRequest& given) {
        return openStation(app, s.path("quill.ini"), given);
    }
    // What a keyboard-wedge scanner does: the characters, then Enter, into
    // whatever has the focus.
    static void scan(const QString& text) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_TRUE(focused != nullptr && focused->objectName() == u"txtOrder"_qs);
        QTest::keyClicks(focused, text);
        QTest::keyClick(focused, Qt::Key_Return);
    }
    static QString said(QWidget* window, const char* name) {
        return child<StationLabel>(window, name)->whole();
    }
    // The order's line in the header, once it says `text`.
    static testing::AssertionResult progress(QWidget* window, const QString& text) {
        if (waitFor([&] { return said(window, "lblOrderProgress") == text; }, 8000)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << said(window, "lblOrderProgress").toStdString();
    }
    RunRequest given(const Devices& line, int devices) const {
        RunRequest r;
        for (int k = 1; k <= devices; ++k) {
            r.ports.push_back(line.port(k));
        }
        return r;
    }

    Scratch s;
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    std::unique_ptr<RecipeStore> store;
    std::string sha;
    std::unique_ptr<Application> app;
    ModalScript script;
};

// Scanned, the order shows its recipe and fixes the file and the line; a
// round runs the order alone, and the header counts the units of every
// station; the order is there again when the window opens next.
TEST_F(StationOrderWindow, AScannedOrderRunsItsRecipeAndTheHeaderFollowsTheLine) {
    const std::string binary = e2e::firmware(s, 1024);
    publish(readFile(s.path("app.hex")));
    Devices line(s, 2);
    frmStation* window = station(given(line, 2));
    scan(u"4711"_qs);
    ASSERT_TRUE(progress(window, u"Order 4711: 0 of 5 done, 0 in progress, 5 remaining"_qs));
    const QString sha12 = QString::fromStdString(sha.substr(0, 12));
    EXPECT_EQ(said(window, "lblOrder"),
              u"Recipe motor@1, version 1, SHA-256 "_qs + sha12 + u"   Note: rev B boards only"_qs);
    EXPECT_EQ(said(window, "lblFirmware"), u"motor@1   SHA-256 "_qs + sha12);
    EXPECT_EQ(said(window, "lblLine"), u"38400 baud, Manual"_qs);
    EXPECT_EQ(child<QLineEdit>(window, "txtFile")->text(), u"motor-ctl.hex"_qs);
    for (const char* field : {"txtFile", "cboBaud", "cboDevice", "cmdFile"}) {
        EXPECT_FALSE(child<QWidget>(window, field)->isEnabled()) << field;
    }

    // Another station of the line takes two places and completes one.
    ASSERT_TRUE(store->takePlace("4711", "unit-a", "attempt-a", "bench-9"));
    ASSERT_FALSE(store->keepPlace("4711", "unit-a"));
    ASSERT_TRUE(store->takePlace("4711", "unit-b", "attempt-b", "bench-9"));
    EXPECT_TRUE(progress(window, u"Order 4711: 1 of 5 done, 1 in progress, 3 remaining"_qs));

    QString asked;
    script.answer(&asked);
    window->findChild<StationTile*>()->setFocus(); // the operator had a tile in hand (Del)
    QTest::keyClick(window, Qt::Key_F5);
    ASSERT_TRUE(waitFor([&] { return !window->running(); }, 20000));
    EXPECT_EQ(window->lastRequest().workOrder, "4711");
    EXPECT_EQ(window->lastRequest().file, "");
    EXPECT_FALSE(window->lastRequest().baud || window->lastRequest().device);
    EXPECT_TRUE(progress(window, u"Order 4711: 3 of 5 done, 1 in progress, 1 remaining"_qs));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), u"txtOrder"_qs);

    // One place left for two units: the second is refused, and says why.
    script.answer(&asked);
    QTest::keyClick(window, Qt::Key_F5);
    ASSERT_TRUE(waitFor([&] { return !window->running(); }, 20000));
    EXPECT_TRUE(progress(window, u"Order 4711 has no place left: 4 of 5 done, 1 in progress"_qs));
    QStringList words;
    for (auto* tile : window->findChildren<StationTile*>()) {
        words << said(tile, "lblPhase");
    }
    EXPECT_TRUE(
        words.contains(QString::fromStdString(std::string(outcomeWords(Outcome::OrderComplete)))))
        << words.join(u'|').toStdString();

    EXPECT_TRUE(line.image(1) == binary && line.image(2) == binary); // the recipe's firmware

    // The other station's unit completes: the order is, and says so next time too.
    ASSERT_FALSE(store->keepPlace("4711", "unit-b"));
    EXPECT_TRUE(progress(window, u"Order 4711 is complete: 5 of 5 done"_qs));
    window->close();
    window = station({});
    EXPECT_TRUE(progress(window, u"Order 4711 is complete: 5 of 5 done"_qs));
}

// An order that is not there, closed or of a retired recipe selects nothing and says so; the
// station's own file and line come back, as with an empty scan.
TEST_F(StationOrderWindow, AnOrderNotOpenSelectsNothingAndSaysSo) {
    publish(hexFile(3));
    // No process is started: ThreadSanitizer watches the lookups.
    RunRequest chosen;
    chosen.ports = {s.path("gone")};
    chosen.file = s.path("app.hex");
    frmStation* window = station(chosen);
    const auto plain = [](const char* text, const char* order) {
        return qtext(text).arg(QString::fromLatin1(order));
    };
    const struct {
        const char* scanned;
        QString shown;
        bool selected;
    } cases[] = {
        {"4711", {}, true},
        {"9999", plain(text::StationOrderUnknown, "9999"), false},
        {"4711", {}, true},
        {"4700", plain(text::StationOrderClosed, "4700"), false},
        {"4711", {}, true},
        {"4800", qtext(text::StationOrderRetired).arg(u"4800"_qs, u"motor@2"_qs), false},
        {"4711", {}, true},
        {"", {}, false},
    };
    for (const auto& c : cases) {
        auto* field = child<QLineEdit>(window, "txtOrder");
        field->clear();
        scan(QString::fromLatin1(c.scanned));
        EXPECT_TRUE(waitFor(
            [&] {
                const QString now = said(window, "lblOrder");
                return c.selected ? now.startsWith(u"Recipe motor@1"_qs) : now == c.shown;
            },
            5000))
            << c.scanned;
        EXPECT_EQ(child<QWidget>(window, "lblOrderProgress")->isVisible(), c.selected) << c.scanned;
        EXPECT_EQ(child<QWidget>(window, "txtFile")->isEnabled(), !c.selected) << c.scanned;
        EXPECT_EQ(child<QLineEdit>(window, "txtFile")->text().toStdString(),
                  c.selected ? "motor-ctl.hex" : s.path("app.hex"));
    }
}

} // namespace
} // namespace quill::test
