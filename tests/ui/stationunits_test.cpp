// SPDX-License-Identifier: MIT
// The station window's units over a shift: a first pass, a retry cancelled
// at its prompt, the retry, a missing port and a round stopped; each
// round's reports as the runner makes them. The header says what unitYield
// says of the same rows, and Retry failed goes on with the same units.

#include "ui/stationports.h"
#include "ui/stationtile.h"
#include "ui/stationunits.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

namespace quill::test {
namespace {

DeviceReport ended(const std::string& key, std::optional<int> attempt, Outcome outcome,
                   const std::string& serial = {}) {
    DeviceReport d;
    d.unitKey = key;
    d.attemptNo = attempt;
    d.outcome = outcome;
    d.serial = serial;
    d.unit = serial.empty() ? std::nullopt : std::optional<int64_t>(std::stoll(serial));
    return d;
}

TEST(StationUnits, AShiftIsCountedAsTheYieldCountsItsRowsAndRetriesCarryTheirUnits) {
    using O = Outcome;
    struct Round {
        std::vector<size_t> ports;
        bool retry;
        std::vector<DeviceReport> reports;
        bool started;
        int round; // shown afterwards
    };
    const std::vector<Round> shift = {
        {{0, 1, 2, 3},
         false,
         {ended("a", 1, O::Complete, "7"), ended("b", 1, O::Complete, "8"),
          ended("c", 1, O::NoEraseAnswer, "9"), ended("d", std::nullopt, O::PortFailure)},
         true,
         1},
        // Cancelled at the prompt: nothing drawn, nothing reached a device.
        {{2, 3},
         true,
         {ended({}, std::nullopt, O::Cancelled), ended({}, std::nullopt, O::Cancelled)},
         false,
         1},
        {{2, 3},
         true,
         {ended("c", 2, O::Complete, "9"), ended("d", std::nullopt, O::PortFailure)},
         true,
         2},
        // Stop (Esc) mid-download.
        {{0, 1},
         false,
         {ended("e", 1, O::Interrupted, "10"), ended("f", 1, O::Interrupted, "11")},
         true,
         3},
    };
    StationUnits units;
    std::vector<UnitRow> rows;
    std::vector<std::vector<UnitCarry>> carried;
    for (const Round& r : shift) {
        carried.push_back(units.carries(r.ports));
        units.beginRound(r.ports, 4, r.retry);
        // The stopped round's first device ends as it goes, the rest at the end.
        units.ended(0, r.reports[0]);
        RunReport run;
        run.devices = r.reports;
        units.finished(run);
        if (!r.started) {
            units.roundNotStarted();
        }
        for (const DeviceReport& d : r.reports) {
            rows.push_back({d.unitKey, d.attemptNo, *d.outcome, static_cast<int64_t>(rows.size())});
        }
        EXPECT_EQ(units.round(), r.round);
    }
    EXPECT_EQ(units.yield(), unitYield(rows));
    EXPECT_EQ(unitsText(units.yield()),
              "Units 3: first pass 2 (66.7%), final 3 (100%), 4 not started, 2 stopped");
    // Both retries go on with the unit of the first pass, after the cancel too.
    for (const size_t r : {1u, 2u}) {
        ASSERT_EQ(carried[r].size(), 2u);
        EXPECT_EQ(carried[r][0].unitKey, "c");
        EXPECT_EQ(carried[r][0].attemptsMade, 1);
        EXPECT_EQ(carried[r][0].serial, "9");
        EXPECT_EQ(carried[r][0].batchUnit, 9);
        EXPECT_EQ(carried[r][1].unitKey, "d");
        EXPECT_EQ(carried[r][1].attemptsMade, 0);
    }
    // Start (F5) puts new units on its ports.
    units.beginRound({0, 1, 2, 3}, 4, false);
    EXPECT_EQ(units.carries({2})[0].unitKey, "");
    EXPECT_EQ(unitsText({}), "Units 0");
}

// The states stay apart on a monochrome screen: their backgrounds differ
// in lightness, not in hue alone.
TEST(StationTile, EachStateHasALightnessOfItsOwn) {
    using S = StationTile::State;
    const QPalette window = QApplication::palette();
    std::vector<double> light;
    for (const auto& [state, stalled] : {std::pair{S::Running, false},
                                         {S::Running, true},
                                         {S::Complete, false},
                                         {S::Failed, false},
                                         {S::Stopped, false}}) {
        const QColor c = StationTile::background(state, stalled, window);
        light.push_back(0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue());
    }
    for (size_t i = 0; i < light.size(); ++i) {
        for (size_t j = i + 1; j < light.size(); ++j) {
            EXPECT_GT(std::abs(light[i] - light[j]), 25) << i << " and " << j;
        }
    }
}

// A device that takes no record for 5 s says so, amber, with the seconds;
// its next record, or the next round, ends that.
TEST(StationTile, ADeviceSilentFor5SecondsSaysSo) {
    QWidget window;
    StationTile tile({"Slot 1", "/dev/ttyUSB0"}, &window);
    const auto state = [&] { return tile.findChild<StationLabel*>(u"lblState"_qs)->whole(); };
    DeviceReport d;
    d.totals.records = 10;
    for (const int64_t round : {0, 60'000}) { // the second round starts with a record count alike
        tile.setWaiting(1);
        tile.showReport(d, round + 1000);
        tile.tick(round + 5999);
        EXPECT_FALSE(tile.stalled()) << round;
        tile.tick(round + 8000);
        EXPECT_TRUE(tile.stalled()) << round;
        EXPECT_EQ(state(), u"No record for 7 s"_qs);
        EXPECT_EQ(tile.palette().color(QPalette::Window),
                  StationTile::background(StationTile::State::Running, true, window.palette()));
    }
    d.progress.records = 1;
    tile.showReport(d, 68'500);
    tile.tick(69'000);
    EXPECT_FALSE(tile.stalled());
    EXPECT_EQ(state(), u"Working"_qs);
}

// NAME=PORT names a port's slot; the ports field quotes what has a blank,
// and keeps a device path absolute.
TEST(StationPorts, SlotNamesAreReadAndWrittenBackAndPathsKeptAbsolute) {
    const std::vector<std::pair<QString, std::vector<PortEntry>>> table = {
        {u"COM3  /dev/ttyUSB0"_qs, {{"", "COM3"}, {"", "/dev/ttyUSB0"}}},
        {u"\"Slot 3=/dev/ttyUSB2\" A=rfc2217://h:4001 rfc2217://h:4002?x=1"_qs,
         {{"Slot 3", "/dev/ttyUSB2"}, {"A", "rfc2217://h:4001"}, {"", "rfc2217://h:4002?x=1"}}},
        {u"\"Bench \"\"\"B\"\"\"=COM1\""_qs, {{"Bench \"B\"", "COM1"}}},
    };
    for (const auto& [text, entries] : table) {
        EXPECT_EQ(portEntries(text), entries) << text.toStdString();
        EXPECT_EQ(portEntries(portEntriesText(entries)), entries) << text.toStdString();
    }
    const std::string here = QDir::currentPath().toStdString();
    for (const auto& [typed, kept] :
         {std::pair<std::string, std::string>{"ttyUSB0", "/dev/ttyUSB0"},
          {"tests/pty9", here + "/tests/pty9"},
          {"COM3", "COM3"},
          {"rfc2217://h:1", "rfc2217://h:1"}}) {
        EXPECT_EQ(keptPort(typed), kept);
    }
}

} // namespace
} // namespace quill::test
