// SPDX-License-Identifier: MIT
// The places of a work order: eight stations (processes) asking at once
// never take more than the quantity, a unit asking twice holds one place,
// a place given back can be taken again, a closed order gives none.

#include "recipedbs.h"

#include <QProcess>

#include <array>

namespace quill::test {
namespace {

using PlacesTest = RecipeDb;

void openOrder(RecipeStore& store, const std::string& name, int64_t quantity) {
    ASSERT_TRUE(store.publish(recipeOf("shelf-ctl", ":00000001FF\r\n")).ok());
    WorkOrder order;
    order.name = name;
    order.recipeName = "shelf-ctl";
    order.recipeVersion = 1;
    order.quantity = quantity;
    ASSERT_FALSE(store.openOrder(order));
    EXPECT_TRUE(store.openOrder(order)) << "an order of that name exists";
}

// Eight processes at once, each for `units` units of its own: the places
// each got.
std::array<int, 8> takeAtOnce(const std::string& url, const std::string& round, int units) {
    std::array<QProcess, 8> stations;
    for (size_t k = 0; k < stations.size(); ++k) {
        stations[k].start(QStringLiteral(QUILL_PLACETAKER),
                          {QString::fromStdString(url), QStringLiteral("WO-1"),
                           QStringLiteral("%1-station%2").arg(QString::fromStdString(round)).arg(k),
                           QString::number(units)});
    }
    std::array<int, 8> taken{};
    for (size_t k = 0; k < stations.size(); ++k) {
        EXPECT_TRUE(stations[k].waitForFinished(60'000));
        EXPECT_EQ(stations[k].exitCode(), 0) << stations[k].readAllStandardError().toStdString();
        taken[k] = stations[k].readAllStandardOutput().trimmed().toInt();
    }
    return taken;
}

int sum(const std::array<int, 8>& taken) {
    int n = 0;
    for (const int t : taken) {
        n += t;
    }
    return n;
}

TEST_P(PlacesTest, EightStationsAtOnceTakeNoMoreThanTheQuantity) {
    openOrder(*store, "WO-1", 10);
    EXPECT_EQ(sum(takeAtOnce(url, "first", 4)), 10);
    auto order = store->order("WO-1");
    EXPECT_EQ((*order)->inProgress, 10);
    EXPECT_EQ((*order)->remaining(), 0);

    // Three failed units give their places back; the next ones take them.
    const auto stations = store->orderStations("WO-1");
    ASSERT_FALSE(stations->empty());
    int given = 0;
    for (int unit = 0; unit < 4 && given < 3; ++unit) {
        for (const OrderStationCount& s : *stations) {
            const std::string key = s.station + "-unit-" + std::to_string(unit);
            if (given < 3 && *store->takePlace("WO-1", key, "", s.station) == PlaceAnswer::Taken) {
                ASSERT_FALSE(store->givePlace("WO-1", key));
                ASSERT_FALSE(store->givePlace("WO-1", key)) << "given twice frees one place";
                ++given;
            }
        }
    }
    ASSERT_EQ(given, 3);
    EXPECT_EQ((*store->order("WO-1"))->remaining(), 3);
    EXPECT_EQ(sum(takeAtOnce(url, "second", 2)), 3);
    EXPECT_EQ((*store->order("WO-1"))->inProgress, 10);
}

TEST_P(PlacesTest, AUnitHoldsOnePlaceAndKeepsItWhenComplete) {
    openOrder(*store, "WO-1", 2);
    struct Step {
        const char* what;
        const char* unit;
        PlaceAnswer answer;
        int64_t done, inProgress;
    };
    const Step steps[] = {
        {"take", "a", PlaceAnswer::Taken, 0, 1},  {"take", "a", PlaceAnswer::Taken, 0, 1},
        {"take", "b", PlaceAnswer::Taken, 0, 2},  {"take", "c", PlaceAnswer::Full, 0, 2},
        {"keep", "a", PlaceAnswer::Taken, 1, 1},  {"give", "a", PlaceAnswer::Taken, 1, 1},
        {"give", "b", PlaceAnswer::Taken, 1, 0},  {"take", "c", PlaceAnswer::Taken, 1, 1},
        {"take", "d", PlaceAnswer::Full, 1, 1},   {"close", "", PlaceAnswer::Taken, 1, 1},
        {"take", "d", PlaceAnswer::Closed, 1, 1}, {"take", "c", PlaceAnswer::Taken, 1, 1},
    };
    for (const Step& step : steps) {
        const std::string what = step.what;
        SCOPED_TRACE(what + " " + step.unit);
        if (what == "take") {
            EXPECT_EQ(*store->takePlace("WO-1", step.unit, "", "st1"), step.answer);
        } else if (what == "keep") {
            EXPECT_FALSE(store->keepPlace("WO-1", step.unit));
        } else if (what == "give") {
            EXPECT_FALSE(store->givePlace("WO-1", step.unit));
        } else {
            EXPECT_TRUE(*store->closeOrder("WO-1"));
        }
        const auto order = store->order("WO-1");
        EXPECT_EQ((*order)->done, step.done);
        EXPECT_EQ((*order)->inProgress, step.inProgress);
    }
    EXPECT_EQ(*store->takePlace("WO-2", "a", "", "st1"), PlaceAnswer::NoOrder);
    EXPECT_TRUE(store->keepPlace("WO-1", "zz")) << "a unit without a place keeps none";
    const auto per = store->orderStations("WO-1");
    ASSERT_EQ(per->size(), 1u);
    EXPECT_EQ((*per)[0].done, 1);
    EXPECT_EQ((*per)[0].inProgress, 1);
}

INSTANTIATE_TEST_SUITE_P(Databases, PlacesTest, ::testing::Bool(), RecipeDb::name);

} // namespace
} // namespace quill::test
