// SPDX-License-Identifier: MIT
// quill-cli running recipes and work orders: the firmware comes from the
// history's database byte for byte, what the recipe fixes cannot be asked
// otherwise, and stations sharing one order flash no more units than it
// holds, a unit refused by a full order leaving its device untouched.

#include "harness.h"
#include "recipe/recipestore.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"
#include "shared/module1.h"
#include "sharedpgserver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>

#include <filesystem>
#include <map>
#include <memory>

namespace quill::e2e {
namespace {

using enum ExitCode;

// The recipe store of the test's own process.
struct Store {
    Store(const std::string& history) {
        auto where = historyAt(history);
        EXPECT_TRUE(where) << where.error().text();
        auto opened = RecipeStore::open(*where);
        EXPECT_TRUE(opened) << opened.error().text();
        store = std::move(*opened);
    }
    // The bytes of `hexFile` as the recipe `name`'s next version.
    int publish(const std::string& name, const std::string& hexFile, int32_t baud = 38400) {
        Recipe r;
        r.name = name;
        const std::string bytes = readFile(hexFile);
        r.firmware.assign(bytes.begin(), bytes.end());
        r.fileName = "app.hex";
        r.settings.device = device_manual;
        r.settings.baud = baud;
        r.settings.settleMs = 0;
        const auto version = store->publish(r);
        EXPECT_TRUE(version) << version.error().text();
        return version ? *version : 0;
    }
    void openOrder(const std::string& name, const std::string& recipe, int64_t quantity) {
        WorkOrder order;
        order.name = name;
        order.recipeName = recipe;
        order.recipeVersion = 1;
        order.quantity = quantity;
        EXPECT_FALSE(store->openOrder(order));
    }
    WorkOrder order(const std::string& name) {
        auto found = store->order(name);
        return found && *found ? **found : WorkOrder{};
    }

    std::unique_ptr<RecipeStore> store;
};

// The test's own connections to the history need one, made before any.
struct QtApp {
    int argc = 1;
    char name[5] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

// A station that never had the file: the device's image is the file's data,
// and the run, its trace, its events and its row name the recipe.
TEST(Recipes, FlashFromTheHistoryByteForByte) {
    QtApp qt;
    Scratch s;
    const std::string binary = firmware(s, 5 * 1024 + 3);
    const std::string history = s.path("h.sqlite");
    {
        Store store(history);
        store.publish("sensor", s.path("app.hex"), 9600);
        ASSERT_EQ(store.publish("sensor", s.path("app.hex")), 2);
    }
    const std::string sha =
        QCryptographicHash::hash(QByteArray::fromStdString(readFile(s.path("app.hex"))),
                                 QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    std::filesystem::remove(s.path("app.hex"));
    std::filesystem::remove(s.path("app.bin"));
    Devices dev(s, 1);
    const Result r =
        runCli(s, "-p " + dev.port() + " -y --json --recipe sensor --history-url " + history +
                      " --log " + s.path("trace.log") + " --events " + s.path("events.jsonl"));
    dev.stop();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(dev.image() == binary) << "the device's image differs from the file's data";
    EXPECT_EQ(fields(r.json(), {u"recipe", u"work_order", u"baud", u"file_sha256"}),
              "sensor@2||38400|" + sha + "|");
    EXPECT_TRUE(contains(readFile(s.path("trace.log")), "\n# recipe sensor@2\n"));
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), r.code);
    EXPECT_EQ(fields(events.of("run_started").at(0), {u"file", u"recipe"}),
              "recipe sensor@2|sensor@2|");
    EXPECT_EQ(fields(events.of("device_ended").at(0), {u"recipe", u"outcome"}),
              "sensor@2|complete|");
    const auto rows = historyRows(s, "--history-url " + history + " --recipe sensor");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(fields(rows[0], {u"recipe", u"file", u"file_sha256", u"outcome"}),
              "sensor@2|recipe sensor@2|" + sha + "|complete|");
    EXPECT_TRUE(historyRows(s, "--history-url " + history + " --recipe sensor@1").empty());
}

// What cannot run is refused before any port is touched, in words that
// name what to do; the recipe's own value is accepted.
TEST(Recipes, RefusedBeforeAnyPort) {
    QtApp qt;
    Scratch s;
    firmware(s, 256);
    const std::string history = s.path("h.sqlite");
    {
        Store store(history);
        for (int v = 1; v <= 3; ++v) {
            store.publish("sensor", s.path("app.hex"));
        }
        store.publish("old", s.path("app.hex"));
        EXPECT_TRUE(*store.store->retire("sensor", 2));
        EXPECT_TRUE(*store.store->retire("old", 1));
        store.openOrder("shut", "sensor", 5);
        EXPECT_TRUE(*store.store->closeOrder("shut"));
    }
    Devices dev(s, 1);
    const std::string run = "-p " + dev.port() + " -y --history-url " + history + " ";
    const struct {
        std::string args;
        ExitCode code;
        std::string said;
    } cases[] = {
        {"--recipe sensor@3 --baud 9600", Usage,
         "--baud 9600 differs from recipe sensor@3, which fixes 38400."},
        {"--recipe sensor --settle 100 --device tracker", Usage,
         "--settle 100 differs from recipe sensor@3, which fixes 0."},
        {"--recipe sensor --settle 250", Usage, // the default, asked for by name
         "--settle 250 differs from recipe sensor@3, which fixes 0."},
        {"--recipe sensor --device tracker", Usage,
         "--device tracker differs from recipe sensor@3, which fixes manual."},
        {"--recipe sensor --allow-no-end-record", Usage,
         "--allow-no-end-record differs from recipe sensor@3, which fixes it off."},
        {"--recipe sensor --serial-at 0x08000000", Usage,
         "--serial-at 0x08000000 differs from recipe sensor@3, which fixes none."},
        {"--recipe sensor@2", Usage, "sensor@2 is retired; the released version is sensor@3."},
        {"--recipe old@1", Usage, "old@1 is retired; no version of old is released."},
        {"--recipe nosuch", Usage, "No released recipe nosuch in the history"},
        {"--recipe sensor " + s.path("app.hex"), Usage,
         "--recipe and --work-order take no hex file"},
        {"--work-order shut", Usage, "Work order shut is closed: it runs nothing."},
        {"--recipe sensor@3 --baud 38400 --device manual --settle 0", Complete, ""},
    };
    for (const auto& c : cases) {
        const Result r = runCli(s, run + c.args);
        EXPECT_EQ(r.code, toInt(c.code)) << c.args << "\n" << r.err;
        EXPECT_TRUE(contains(r.err, c.said)) << c.args << "\n" << r.err;
        EXPECT_EQ(dev.heard() > 0, c.code == Complete) << c.args;
    }
}

// Eight quill-cli processes on one order of 10 at once, some of their devices
// failing: never more than 10 complete, each device refused by the full
// order heard nothing, the failed units' places came back, and further runs
// bring the order to exactly 10.
TEST(WorkOrders, TenPlacesWhateverRunsAtOnce) {
    QtApp qt;
    PgServer& pg = test::sharedPgServer();
    ASSERT_EQ(pg.failure(), "");
    for (const bool postgres : {false, true}) {
        SCOPED_TRACE(postgres ? "PostgreSQL" : "SQLite");
        Scratch s;
        Scratch faulty;
        firmware(s, 1024);
        const std::string history = postgres ? pg.url(pg.newDatabase()) : s.path("h.sqlite");
        Store store(history);
        store.publish("sensor", s.path("app.hex"));
        store.openOrder("4711", "sensor", 10);
        Devices good(s, 12);
        Devices bad(faulty, 4, "--fault no-erase-xoff");
        std::map<std::string, const Devices*> deviceOf; // port: its quill-devsim
        std::map<std::string, int> numberOf;
        const auto runAll =
            [&](const std::vector<std::vector<std::pair<const Devices*, int>>>& clis) {
                std::vector<std::unique_ptr<Cli>> running;
                for (const auto& ports : clis) {
                    std::string args = " -y --history-url " + history + " --work-order 4711";
                    for (const auto& [devices, k] : ports) {
                        args += " -p " + devices->port(k);
                        deviceOf[devices->port(k)] = devices;
                        numberOf[devices->port(k)] = k;
                    }
                    running.push_back(std::make_unique<Cli>(s, args));
                }
                for (auto& cli : running) {
                    cli->finish();
                }
            };
        // Each row's end, and for a refused unit whether its device heard nothing.
        const auto ends = [&] {
            std::map<std::string, int> count;
            for (const QJsonObject& row :
                 historyRows(s, "--history-url " + history + " --work-order 4711")) {
                const std::string port = row[u"port"].toString().toStdString();
                std::string outcome = row[u"outcome"].toString().toStdString();
                if (outcome == "order_complete" &&
                    deviceOf.at(port)->heard(numberOf.at(port)) != 0) {
                    outcome += " (device heard bytes)";
                }
                ++count[outcome];
            }
            return count;
        };
        std::vector<std::vector<std::pair<const Devices*, int>>> first;
        for (int k = 1; k <= 8; ++k) {
            first.push_back({{&good, k}, k <= 4 ? std::pair{&bad, k} : std::pair{&good, k + 4}});
        }
        runAll(first);
        // A failing device may itself have found the order full, untouched.
        using Ends = std::map<std::string, int>;
        Ends ended = ends();
        const int complete = ended["complete"];
        const int failed = ended["no_erase_answer"];
        EXPECT_LE(complete, 10);
        EXPECT_GE(complete, 6); // the failing four held places for a while at most
        EXPECT_EQ(ended, (Ends{{"complete", complete},
                               {"no_erase_answer", failed},
                               {"order_complete", 16 - complete - failed}}));
        WorkOrder order = store.order("4711");
        EXPECT_EQ(order.done, complete);
        EXPECT_EQ(order.inProgress, 0); // the failed units gave theirs back

        Scratch more;
        Devices next(more, 8);
        std::vector<std::vector<std::pair<const Devices*, int>>> second;
        for (int k = 1; k <= 8; ++k) {
            second.push_back({{&next, k}});
        }
        runAll(second);
        EXPECT_EQ(ends(), (Ends{{"complete", 10},
                                {"no_erase_answer", failed},
                                {"order_complete", 24 - 10 - failed}}));
        order = store.order("4711");
        EXPECT_EQ(order.done, 10);
        EXPECT_EQ(order.inProgress, 0);

        const Result last = runCli(s, "-p " + next.port(1) + " -y --json --history-url " + history +
                                          " --work-order 4711");
        EXPECT_EQ(last.code, toInt(OrderComplete)) << last.err;
        EXPECT_TRUE(contains(last.err, "Work order 4711 is complete: 10 of 10.")) << last.err;
        // Unit after unit, the loop ends there: no next unit could be flashed.
        const Result repeated = runCli(
            s, "--repeat -p " + next.port(1) + " --history-url " + history + " --work-order 4711",
            nullptr, "\n\n\n");
        EXPECT_EQ(repeated.code, toInt(OrderComplete)) << repeated.err;
        EXPECT_EQ(count(repeated.err, "is complete: 10 of 10."), 1) << repeated.err;
    }
}

} // namespace
} // namespace quill::e2e
