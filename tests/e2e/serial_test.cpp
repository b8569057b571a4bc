// SPDX-License-Identifier: MIT
// Every unit its own number, at process level: the image each device
// builds holds the number at its address, byte for byte, in each form, also
// across two records and behind an extended linear address record; stations
// that draw at once, from one SQLite file or one PostgreSQL database, never
// get one number twice; a number drawn is spent; and what cannot hold a
// number is refused before any device hears a byte.

#include "harness.h"
#include "history/historytexts.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"
#include "sharedpgserver.h"

#include <gtest/gtest.h>

#include <QSet>

#include <csignal>
#include <memory>

namespace quill::e2e {
namespace {

using enum ExitCode;

// objcopy puts app.hex at 0x08000000 behind an extended linear address
// record, 16 data bytes a record.
constexpr uint32_t base = 0x08000000;

struct Form {
    const char* name;
    std::string options;              // --serial-* besides --serial-at
    uint32_t address;                 // where the number goes
    std::vector<std::string> written; // the first units' numbers as the history names them
    std::vector<std::string> bytes;   // ... and as the images hold them
    friend void PrintTo(const Form& f, std::ostream* os) { *os << f.name; }
};

class SerialForms : public ::testing::TestWithParam<Form> {};

TEST_P(SerialForms, TheImageHoldsEachUnitsNumber) {
    const Form& f = GetParam();
    Scratch s;
    const std::string binary = firmware(s, 1024);
    writeFile(s.path("macs.txt"), "00:1A:2B:3C:4D:5E\n0x001A2B3C4D5F\n");
    char address[16];
    std::snprintf(address, sizeof address, "0x%08X", f.address);
    Devices line(s, 2);
    std::string options = f.options;
    if (const size_t list = options.find("macs.txt"); list != std::string::npos) {
        options.replace(list, 8, s.path("macs.txt"));
    }
    const Result r =
        runCli(s, line.ports() + " -b 38400 -y --json --serial-at " + address + " " + options +
                      " --events " + s.path("events.jsonl") + " " + s.path("app.hex"));
    line.stop();
    ASSERT_EQ(r.code, 0) << r.err;
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), 0);
    for (int k = 1; k <= 2; ++k) {
        std::string expected = binary;
        expected.replace(f.address - base, f.bytes[size_t(k - 1)].size(), f.bytes[size_t(k - 1)]);
        EXPECT_TRUE(line.image(k) == expected) << "device " << k;
        EXPECT_EQ(r.json()[u"devices"][k - 1][u"serial"].toString().toStdString(),
                  f.written[size_t(k - 1)]);
        EXPECT_EQ(events.of("device_ended", line.port(k)).at(0)[u"serial"].toString().toStdString(),
                  f.written[size_t(k - 1)]);
    }
    QSet<QString> recorded;
    EXPECT_EQ(historyRows(s).size(), 2u); // one row a unit, whoever began it
    for (const QJsonObject& row : historyRows(s)) {
        recorded.insert(row[u"serial"].toString());
    }
    EXPECT_EQ(recorded, (QSet<QString>{QString::fromStdString(f.written[0]),
                                       QString::fromStdString(f.written[1])}));
}

INSTANTIATE_TEST_SUITE_P(
    E2e, SerialForms,
    ::testing::Values(
        Form{"LittleEndian", "", base + 0x100, {"1", "2"}, {{1, 0, 0, 0}, {2, 0, 0, 0}}},
        // Two bytes at the end of one record, two at the start of the next.
        Form{"BigEndianAcrossTwoRecords",
             "--serial-format be --serial-start 258",
             base + 0x10E,
             {"258", "259"},
             {{0, 0, 1, 2}, {0, 0, 1, 3}}},
        Form{"AsciiDigits",
             "--serial-format ascii --serial-size 6 --serial-series line-7",
             base + 0x3F0,
             {"1", "2"},
             {"000001", "000002"}},
        Form{"ListOfMacAddresses",
             "--serial-size 6 --serial-list macs.txt",
             base + 0x20,
             {"00:1A:2B:3C:4D:5E", "0x001A2B3C4D5F"},
             {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Eight stations draw at once from one history, then one is killed between
// its draw and its end: no number twice, none lost but the killed unit's,
// which stays spent, its row unfinished.
TEST(Serials, DrawnOnceWhateverDrawsAtOnce) {
    PgServer& pg = test::sharedPgServer();
    ASSERT_EQ(pg.failure(), "");
    for (const std::string& history :
         {std::string(), "--history-url " + pg.url(pg.newDatabase())}) {
        SCOPED_TRACE(history.empty() ? "SQLite" : "PostgreSQL");
        Scratch s;
        writeFile(s.path("app.hex"), test::hexFile(20));
        Devices line(s, 9, "--record-ack-ms 9:100");
        const std::string common = " -b 38400 -y --settle 0 --serial-at 0 " + history + " ";
        std::vector<std::unique_ptr<Cli>> clis;
        for (int k = 1; k <= 8; ++k) {
            clis.push_back(
                std::make_unique<Cli>(s, "-p " + line.port(k) + common + s.path("app.hex")));
        }
        for (auto& cli : clis) {
            EXPECT_EQ(cli->finish().code, 0);
        }
        Cli killed(s, "-p " + line.port(9) + common + s.path("app.hex"));
        ASSERT_TRUE(line.waitHeard("host> :", 3, 9));
        killed.signal(SIGKILL);
        killed.finish();
        EXPECT_EQ(runCli(s, "-p " + line.port(1) + common + s.path("app.hex")).code, 0);
        std::map<int, std::string> units; // serial: outcome
        for (const QJsonObject& row : historyRows(s, history)) {
            units[row[u"serial"].toString().toInt()] = row[u"outcome"].toString().toStdString();
        }
        std::map<int, std::string> expected;
        for (int n = 1; n <= 10; ++n) {
            expected[n] = n == 9 ? "unfinished" : "complete";
        }
        EXPECT_EQ(units, expected);
    }
}

// Refused before any device hears a byte: no data where the number goes,
// no history to draw it from; a number that does not fit ends its unit
// alone, spent, and the history says so.
TEST(Serials, RefusedBeforeTheDeviceHearsAByte) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(2)); // data at 0x0000 to 0x001F
    writeFile(s.path("plain"), "not a folder");
    Devices dev(s, 1);
    const std::string args = "-p " + dev.port() + " -b 38400 -y --json ";
    const std::string top = "9223372036854775806";
    const struct {
        std::string options;
        ExitCode code;
        std::string said;
        const char* recorded; // the history's outcome, if it says one
    } cases[] = {
        {"--serial-at 0x1E", BadRecord, std::string(text::SerialNoData) + "0x00000020", nullptr},
        {"--serial-at 0 --history-url " + s.path("plain/h.sqlite"), HistoryFailed,
         text::SerialNeedsHistory, nullptr},
        {"--serial-at 0 --serial-size 1 --serial-start 256", BadRecord,
         std::string(text::SerialTooBig) + "256" + text::SerialTooBigMiddle + "1",
         "serial_unusable"},
        // The counter's last number, then none: said, never wrapped or repeated.
        {"--serial-at 0 --serial-size 1 --serial-series top --serial-start " + top, BadRecord,
         text::SerialTooBig + top, nullptr},
        {"--serial-at 0 --serial-series top --serial-start " + top, HistoryFailed,
         text::HistoryCounterFull, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const Result r = runCli(s, args + c.options + " " + s.path("app.hex"));
        EXPECT_EQ(r.code, toInt(c.code)) << r.err;
        EXPECT_TRUE(contains(r.err, c.said)) << r.err;
        EXPECT_TRUE(contains(r.out, c.said)) << r.out; // --json says it too
        if (c.recorded != nullptr) {
            EXPECT_EQ(historyRows(s).at(0)[u"outcome"].toString().toStdString(), c.recorded);
            EXPECT_EQ(historyRows(s).at(0)[u"serial"].toString().toStdString(), "256");
        }
    }
    dev.stop();
    EXPECT_EQ(dev.heard(), 0);
}

} // namespace
} // namespace quill::e2e
