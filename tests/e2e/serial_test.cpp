// SPDX-License-Identifier: MIT
// Every unit its own number, at process level: the image each device
// builds holds the number at its address, byte for byte, in each form, also
// across two records and behind an extended linear address record; stations
// that draw at once, from one SQLite file or one PostgreSQL database, never
// get one number twice; a number drawn is spent; and what cannot hold a
// number is refused before any device hears a byte. And, without a
// process, the bytes each form makes of a count or of a list's line, at the
// edges of each size, and the stored settings that cannot be used.

#include "fakesettings.h"
#include "harness.h"
#include "history/historytexts.h"
#include "runner/recordkeeper.h"
#include "runner/runner.h"
#include "runner/runnertexts.h"
#include "runner/runplan.h"
#include "shared/exitcodes.h"
#include "sharedpgserver.h"
#include "unitserial/seriallist.h"
#include "unitserial/serialnumber.h"
#include "unitserial/serialtexts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <csignal>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <tuple>

namespace quill::e2e {
namespace {

using enum ExitCode;
using enum SerialFormat;

// The bytes in hex, then the value as written; "-" when there is none.
std::string shown(const std::optional<SerialValue>& v) {
    std::string s;
    for (const uint8_t b : v ? v->bytes : std::vector<uint8_t>{}) {
        s += "0123456789abcdef"[b >> 4];
        s += "0123456789abcdef"[b & 15];
    }
    return v ? s + " " + v->written : "-";
}

TEST(SerialValues, EachFormAtTheEdgesOfItsSizeAndStoredSettingsThatCannotBeUsed) {
    // A list's line ("=N": the count N), size, form; the bytes and the value as written.
    const std::tuple<const char*, size_t, SerialFormat, const char*> cases[] = {
        {"=18446744073709551615", 8, BigEndian, "ffffffffffffffff 18446744073709551615"},
        // Digits of exactly twice the size are the bytes, never a decimal number.
        {"001122334455", 6, LittleEndian, "001122334455 001122334455"},
        {" 00:1A:2B:3C:4D:5E\r", 6, BigEndian, "001a2b3c4d5e 00:1A:2B:3C:4D:5E"},
        {"00 1A 2B 3C 4D 5E", 6, LittleEndian, "001a2b3c4d5e 00 1A 2B 3C 4D 5E"},
        {"#42", 8, Ascii, "3030303030303432 42"},
        {"AB-7", 6, Ascii, "41422d370000 AB-7"},
        // Digits of another length can only be a decimal number.
        {"4242", 4, LittleEndian, "92100000 4242"},
        {"4294967296", 4, BigEndian, "-"},
        // Neither bytes nor a number: refused, not guessed at.
        {"00:1A:2B:3C:4D", 6, LittleEndian, "-"},
        {"00:1A-2B:3C:4D:5E", 6, LittleEndian, "-"},
        {"00:1A:2B:3C:4D:5E:", 6, LittleEndian, "-"},
        {"#256", 1, LittleEndian, "-"},
        {"#12a", 4, LittleEndian, "-"},
        {"1234567", 6, Ascii, "-"},
        {"a\tb", 6, Ascii, "-"},
    };
    for (const auto& [line, size, format, expected] : cases) {
        EXPECT_EQ(shown(line[0] == '=' ? countedSerial(std::stoull(line + 1), size, format)
                                       : listedSerial(line, size, format)),
                  expected)
            << line << " in " << size;
    }
    // ASCII: a number of exactly `size` digits fits, one more does not; zero-padded.
    const auto text = [](const auto& v) {
        return v ? std::string(v->bytes.begin(), v->bytes.end()) : "-";
    };
    for (uint64_t size = 1, limit = 10; size <= maxSerialSize; ++size, limit *= 10) {
        EXPECT_EQ(text(countedSerial(limit - 1, size, Ascii)), std::to_string(limit - 1));
        EXPECT_EQ(text(countedSerial(7, size, Ascii)), std::string(size - 1, '0') + "7");
        EXPECT_FALSE(countedSerial(limit, size, Ascii)) << size;
    }
    // A stored value that cannot be used stops the run, named; never a default.
    for (const std::string setting : {"Start=18446744073709551615", "Start=9223372036854775807",
                                      "Size=9", "Format=bcd", "Address=0x1000000000"}) {
        sim::FakeSettings settings;
        settings.values[{"Serial", "Address"}] = "0x08000000";
        const size_t is = setting.find('=');
        settings.values[{"Serial", setting.substr(0, is)}] = setting.substr(is + 1);
        RunRequest request;
        request.serial = serialFromSettings(settings);
        const std::string said = planRun(request, settings).problems.back();
        EXPECT_TRUE(said.starts_with("The setting [Serial] " + setting + " cannot be used"))
            << said;
    }
    sim::FakeSettings settings;
    settings.values[{"Serial", "Start"}] = "9223372036854775806";
    EXPECT_EQ(serialFromSettings(settings).start, maxSerialStart);
}

// Each form: the options besides --serial-at; where the number goes (objcopy
// puts app.hex at 0x08000000 behind an extended linear address record, 16
// data bytes a record); the first units' numbers as the history names them,
// and as the images hold them.
TEST(Serials, TheImageHoldsEachUnitsNumber) {
    constexpr uint32_t base = 0x08000000;
    using Numbers = std::vector<std::string>;
    const std::tuple<std::string, uint32_t, Numbers, Numbers> forms[] = {
        {"", base + 0x100, {"1", "2"}, {{1, 0, 0, 0}, {2, 0, 0, 0}}},
        // Two bytes at the end of one record, two at the start of the next.
        {"--serial-format be --serial-start 258",
         base + 0x10E,
         {"258", "259"},
         {{0, 0, 1, 2}, {0, 0, 1, 3}}},
        {"--serial-format ascii --serial-size 6 --serial-series line-7",
         base + 0x3F0,
         {"1", "2"},
         {"000001", "000002"}},
    };
    for (const auto& [options, address, written, bytes] : forms) {
        SCOPED_TRACE(options);
        Scratch s;
        const std::string binary = firmware(s, 1024);
        Devices line(s, 2);
        const Result r = runCli(s, line.ports() + " -b 38400 -y --json --serial-at " +
                                       addressText(address) + " " + options + " --events " +
                                       s.path("events.jsonl") + " " + s.path("app.hex"));
        line.stop();
        ASSERT_EQ(r.code, 0) << r.err;
        const Events events = checkedEvents(readFile(s.path("events.jsonl")), 0);
        // Drawn as the devices answer: in either order, one number each.
        std::set<size_t> drawn;
        for (size_t k = 1; k <= 2; ++k) {
            const std::string serial =
                r.json()[u"devices"][qsizetype(k - 1)][u"serial"].toString().toStdString();
            const size_t n =
                size_t(std::find(written.begin(), written.end(), serial) - written.begin());
            ASSERT_LT(n, written.size()) << serial;
            drawn.insert(n);
            std::string expected = binary;
            expected.replace(address - base, bytes[n].size(), bytes[n]);
            EXPECT_TRUE(line.image(int(k)) == expected) << "device " << k;
            EXPECT_EQ(events.of("device_ended", line.port(int(k))).at(0)[u"serial"].toString(),
                      QString::fromStdString(serial));
            EXPECT_EQ(historyRows(s, "--serial " + serial).size(), 1u); // its row
        }
        EXPECT_EQ(drawn.size(), 2u);
    }
}

// Eight stations draw at once from one history, then one is killed between
// its draw and its end: no number twice, none lost but the killed unit's,
// which stays spent, its row unfinished. The batch's unit numbers are drawn
// with them.
TEST(Serials, DrawnOnceWhateverDrawsAtOnce) {
    PgServer& pg = test::sharedPgServer();
    ASSERT_EQ(pg.failure(), "");
    for (const std::string& history :
         {std::string(), "--history-url " + pg.url(pg.newDatabase())}) {
        SCOPED_TRACE(history.empty() ? "SQLite" : "PostgreSQL");
        Scratch s;
        writeFile(s.path("app.hex"), test::hexFile(20));
        Devices line(s, 9, "--record-ack-ms 9:100");
        const std::string common =
            " -b 38400 -y --settle 0 --serial-at 0 --batch L " + history + " ";
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
            // Drawn in one step with the serial number: the same count.
            const int serial = row[u"serial"].toString().toInt();
            units[serial] = row[u"outcome"].toString().toStdString() +
                            (row[u"unit"].toInt() == serial ? "" : " (unit differs)");
        }
        std::map<int, std::string> expected;
        for (int n = 1; n <= 10; ++n) {
            expected[n] = n == 9 ? "unfinished" : "complete";
        }
        EXPECT_EQ(units, expected);
    }
}

// No number is spent, of the series or of the batch, on a unit whose device
// never answered: a port that is not there, a device silent to the erase
// request, a prompt answered no, a device stopped (silent too long) before
// its first record. Those that never heard a byte are not units at all.
TEST(Serials, SpentOnlyOnceTheDeviceAnswered) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(2));
    Devices line(s, 3, "--fault 2:no-erase-xoff --fault 3:slow-erase --slow-erase-ms 60000");
    const std::string common = " -b 38400 --settle 0 --serial-at 0 --serial-start 70 --batch N ";
    const std::string app = " " + s.path("app.hex");
    const struct {
        std::string args;
        const char* typed;
        ExitCode code;
    } runs[] = {
        {"-y -p " + s.path("missing") + common + app, nullptr, PortError},
        {"-y -p " + line.port(2) + common + app, nullptr, NoEraseAnswer},
        {"-p " + line.port(1) + common + app, "n\n", Cancelled},
        {"-y --idle-timeout 1 -p " + line.port(3) + common + app, nullptr, IdleTimeout},
        {"-y -p " + line.port(1) + common + app, nullptr, Complete},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.args);
        EXPECT_EQ(runCli(s, run.args, run.typed).code, toInt(run.code));
    }
    std::string rows; // oldest first: outcome, serial, unit, kind
    for (const QJsonObject& row : historyRows(s)) {
        rows = fields(row, {u"outcome", u"serial", u"unit", u"kind"}) + rows;
    }
    EXPECT_EQ(rows, "port_failure|||not_started|no_erase_answer|||unit|cancelled|||not_started|"
                    "idle_timeout|||unit|complete|70|1|unit|");
}

// A unit carried on into a new run (the station window's retry) keeps its
// key and the numbers drawn for it: none is drawn again, its image holds its
// number, and its attempt counts on from those it had.
TEST(Serials, ARetryKeepsItsUnitsNumbers) {
    struct Boxes final : MessageBoxes {
        MsgResult MsgBox(const std::string&, MsgButtons, MsgIcon, MsgResult) override {
            return MsgResult::Ok;
        }
    } boxes;
    struct View final : RunnerView {
        void runSaid(const std::string&, Said) override {}
        void deviceEvent(size_t, const DeviceEvent&, const DeviceReport&) override {}
    } view;
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Scratch s;
    const std::string binary = firmware(s, 64);
    Devices dev(s, 2);
    RunRequest request;
    request.program = "quill-cli";
    request.ports = {dev.port(1)};
    request.baud = 38400;
    request.device = device_manual;
    request.file = s.path("app.hex");
    request.settleMs = 0;
    request.historyUrl = s.path("h.sqlite");
    request.batch = "R";
    request.serial.address = 0x08000010;
    request.units = {{"unit-1", 1, 7, "4242", {0xA1, 0xB2, 0xC3, 0xD4}}};
    sim::FakeSettings settings;
    {
        RecordKeeper keeper("quill-cli", "ann", settings, request.historyUrl, {});
        Runner run(request, settings, boxes, keeper, view);
        EXPECT_EQ(run.exec().code, ExitCode::Complete);
    }
    const std::string history = " --history-url " + s.path("h.sqlite");
    // The counter was not drawn from: the next unit gets the first number.
    const Result next =
        runCli(s, "-p " + dev.port(2) + " -y -b 38400 --json --serial-at 0x08000010 " + history +
                      " " + s.path("app.hex"));
    EXPECT_EQ(next.json()[u"serial"].toString(), QStringLiteral("1")) << next.err;
    dev.stop();
    std::string expected = binary;
    expected.replace(0x10, 4, "\xA1\xB2\xC3\xD4");
    EXPECT_TRUE(dev.image() == expected);
    EXPECT_EQ(fields(historyRows(s, history).at(1),
                     {u"unit_key", u"attempt", u"serial", u"batch", u"unit", u"outcome"}),
              "unit-1|2|4242|R|7|complete|");
}

// Refused before device 1 hears a byte: no data where the number goes (or
// only after the end record, where nothing is sent), a list that cannot be
// used, no history to draw it from; a number that does not fit ends its
// unit alone, spent, and the history says so. Then on device 2, a number in
// blank flash: the record it fills is sent, and counted in the totals; and a
// list is its series by its bytes: a copy under another name goes on after
// the original's last unit, another list under the same name starts afresh.
TEST(Serials, RefusedBeforeTheDeviceHearsAByteAndListsKnownByTheirBytes) {
    Scratch s;
    // Data at 0x0000 to 0x001F, then after the end record to 0x002F.
    writeFile(s.path("app.hex"), test::hexFile(2) + test::hexFile(3));
    writeFile(s.path("blank.hex"), test::dataRecord(0, std::vector<uint8_t>(16, 0x11)) + "\r\n" +
                                       test::dataRecord(0x10, std::vector<uint8_t>(16, 0xFF)) +
                                       "\r\n:00000001FF\r\n");
    writeFile(s.path("plain"), "not a folder");
    writeFile(s.path("twice.txt"), "#4242\n#4243\n0x00001092\n");
    writeFile(s.path("big.txt"), "");
    std::filesystem::resize_file(s.path("big.txt"), maxSerialListBytes + 1);
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0); // no writer: open() would wait
    Devices dev(s, 2);
    const std::string args = "-p " + dev.port(1) + " -b 38400 -y --json --allow-records-after-end ";
    const std::string top = "9223372036854775806";
    const struct {
        std::string options;
        ExitCode code;
        std::string said;
        const char* recorded = nullptr; // the history's outcome, if it says one
    } cases[] = {
        {"--serial-at 0x1E", BadRecord,
         text::SerialAfterEnd + std::string("0x00000020") + text::SerialAfterEndEnd},
        {"--serial-at 0x30", BadRecord, std::string(text::SerialNoData) + "0x00000030"},
        {"--serial-at 0 --serial-format be --serial-list " + s.path("twice.txt"), Usage,
         "Lines 1 and 3 of the serial list " + s.path("twice.txt") + text::SerialListSame},
        {"--serial-at 0 --serial-list " + s.path("fifo"), Usage, text::SerialListNotFile},
        {"--serial-at 0 --serial-list " + s.path("big.txt"), Usage, text::SerialListTooBig},
        {"--serial-at 0 --history-url " + s.path("plain/h.sqlite"), HistoryFailed,
         text::SerialNeedsHistory},
        {"--serial-at 0 --serial-size 1 --serial-start 256", BadRecord,
         std::string(text::SerialTooBig) + "256" + text::SerialTooBigMiddle + "1",
         "serial_unusable"},
        // The counter's last number taken (below), then none: said, never
        // wrapped or repeated.
        {"--serial-at 0 --serial-series top --serial-start " + top, HistoryFailed,
         text::HistoryCounterFull, nullptr},
    };
    ASSERT_EQ(runCli(s, "-p " + dev.port(2) + " -b 38400 -y --allow-records-after-end " +
                            "--serial-at 0 --serial-size 8 --serial-series top --serial-start " +
                            top + " " + s.path("app.hex"))
                  .code,
              0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const Result r = runCli(s, args + c.options + " " + s.path("app.hex"));
        EXPECT_EQ(r.code, toInt(c.code)) << r.err;
        EXPECT_TRUE(contains(r.err, c.said)) << r.err;
        EXPECT_TRUE(contains(r.out, c.said)) << r.out; // --json says it too
        if (c.recorded != nullptr) {
            EXPECT_EQ(historyRows(s).at(0)[u"outcome"].toString().toStdString(), c.recorded);
            EXPECT_EQ(historyRows(s).at(0)[u"serial"].toString().toStdString(), ""); // none spent
        }
    }
    for (const auto& [list, values, serial] :
         {std::tuple{"a/same.txt", "07000000\n#8\n", "07000000"},
          {"b/copy.txt", "07000000\n#8\n", "8"},
          {"c/same.txt", "09:00:00:00\n", "09:00:00:00"}}) {
        std::filesystem::create_directories(std::filesystem::path(s.path(list)).parent_path());
        writeFile(s.path(list), values);
        const Result r =
            runCli(s, "-p " + dev.port(2) + " -b 38400 -y --json --serial-at 0x10 --log " +
                          s.path("blank.log") + " --serial-list " + s.path(list) + " " +
                          s.path("blank.hex"));
        ASSERT_EQ(r.code, 0) << r.err;
        const QJsonObject d = r.json(); // one device: its report alone
        EXPECT_EQ(std::tuple(d[u"serial"].toString().toStdString(), d[u"records_sent"].toInt(),
                             d[u"records_total"].toInt(), d[u"data_bytes_total"].toInt()),
                  std::tuple(std::string(serial), 3, 3, 32));
        // The device's own check, made before its number was drawn, counts it too.
        EXPECT_TRUE(contains(readFile(s.path("blank.log")), ", 3 records, 32 data bytes"));
    }
    dev.stop();
    EXPECT_EQ(dev.heard(1), 0);
}

} // namespace
} // namespace quill::e2e
