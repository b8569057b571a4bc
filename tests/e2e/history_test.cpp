// SPDX-License-Identifier: MIT
// What quill-cli keeps of its downloads, at process level: the firmware's
// SHA-256 wherever it is shown, one honest row per download in the
// history (also when eight processes write at once, or one is killed), a
// history that cannot be written, and unit after unit with --repeat.

#include "cli/clitexts.h"
#include "harness.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"

#include <gtest/gtest.h>

#include <QSet>

#include <csignal>

namespace quill::e2e {
namespace {

using enum ExitCode;

std::string sha256sum(const std::string& path) {
    QProcess p;
    p.start(QStringLiteral("sha256sum"), {QString::fromStdString(path)});
    EXPECT_TRUE(p.waitForFinished());
    return p.readAllStandardOutput().left(64).toStdString();
}

// The digest in the start line, the JSON, the trace's header and the
// history; --expect-sha256 lets that file through and refuses any other
// before the device hears a byte.
TEST(HistoryE2e, TheFirmwaresIdentityIsTheSameEverywhere) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(3));
    const std::string app = s.path("app.hex");
    const std::string sha = sha256sum(app);
    Devices dev(s, 1);
    Result r =
        runCli(s, "-p " + dev.port() + " -b 9600 -y --json --operator ann --batch B7 " + "--log " +
                      s.path("flash.log") + " --expect-sha256 " + sha + " " + app);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string line = app + ": " + std::to_string(readFile(app).size()) + " bytes, SHA-256 ";
    EXPECT_TRUE(r.err.starts_with(line + sha + "\n")) << r.err;
    EXPECT_EQ(r.json()[u"file_sha256"].toString().toStdString(), sha);
    EXPECT_TRUE(contains(readFile(s.path("flash.log")), " FILE  " + line + sha + ", 4 records"));

    const std::string other(64, 'a');
    r = runCli(s, "-p " + dev.port() + " -b 9600 -y --expect-sha256 " + other + " " + app);
    EXPECT_TRUE(contains(r.err, std::string(quill::text::NotExpectedFirmware) + "\n" +
                                    quill::text::ExpectedSha256 + other + "\n" +
                                    quill::text::FileSha256 + sha))
        << r.err;
    dev.stop();
    EXPECT_EQ(dev.heard(), 5); // the erase request and four records, once

    const std::vector<QJsonObject> rows = historyRows(s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(fields(rows[0], {u"outcome", u"exit_code", u"records_sent"}),
              std::string("unexpected_firmware|4|0|"));
    EXPECT_EQ(fields(rows[1], {u"file_sha256", u"file", u"file_size", u"port", u"program",
                               u"operator", u"outcome", u"records_sent", u"last_message",
                               u"trace_file", u"batch", u"unit"}),
              sha + "|" + app + "|" + std::to_string(readFile(app).size()) + "|" + dev.port() +
                  "|quill-cli|ann|complete|4|Download complete|" + s.path("flash.log") + "|B7|1|");
    EXPECT_FALSE(rows[1][u"ended"].isNull());
    EXPECT_LT(rows[1][u"started"].toString(), rows[1][u"ended"].toString()); // the end keeps it
}

// A process killed mid-download leaves its row "unfinished" (eight at once
// are Serials.DrawnOnceWhateverDrawsAtOnce).
TEST(HistoryE2e, TheRowOfAProcessKilled) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(20));
    Devices slow(s, 1, "--record-ack-ms 200");
    Cli cli(s, "-p " + slow.port() + " -b 38400 -y " + s.path("app.hex"));
    ASSERT_TRUE(slow.waitHeard("host> :", 3));
    cli.signal(SIGKILL);
    cli.finish();
    const std::vector<QJsonObject> rows = historyRows(s, "-p " + slow.port());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(fields(rows[0], {u"outcome", u"ended", u"attempt", u"kind"}), "unfinished||1|unit|");
}

// Unit after unit from a script: a round per Enter until --max-units or the
// end of the input, a row of units on two ports, each unit numbered in its
// batch.
TEST(HistoryE2e, RepeatRoundAfterRound) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(2));
    Devices line(s, 2, "--fault 2:no-erase-xoff");
    const std::string app = " -b 9600 --batch B " + s.path("app.hex");
    const std::string prompt = cli::text::NextDevice;
    Result r = runCli(s, "--repeat -p " + line.port(1) + app, nullptr, "\n\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(count(r.err, prompt), 3);
    EXPECT_EQ(count(r.err, cli::text::PromptAnsweredByEnter), 2);
    EXPECT_TRUE(r.err.ends_with("\nUnits 2: first pass 2 (100%), final 2 (100%)\n"
                                "2 units: 2 complete\n"))
        << r.err;

    r = runCli(s, "--repeat --max-units 1 -p " + line.port(1) + app, nullptr, "\n\n\n");
    EXPECT_EQ(count(r.err, prompt), 1) << r.err;

    r = runCli(s, "--repeat" + line.ports() + " --events " + s.path("events.jsonl") + app, nullptr,
               "\n\n");
    EXPECT_EQ(r.code, toInt(NoEraseAnswer)) << r.err;
    // Each round's units numbered by the round, in the batch; the run's units counted once.
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), r.code);
    std::string ends;
    QSet<QString> unitKeys;
    for (const QJsonObject& ended : events.of("device_ended")) {
        ends += fields(ended, {u"port", u"unit", u"batch", u"outcome", u"attempt"});
        unitKeys.insert(ended[u"unit_key"].toString());
    }
    EXPECT_EQ(ends, line.port(1) + "|1|B|complete|1|" + line.port(2) + "|1|B|no_erase_answer|1|" +
                        line.port(1) + "|2|B|complete|1|" + line.port(2) +
                        "|2|B|no_erase_answer|1|");
    EXPECT_EQ(unitKeys.size(), 4); // each port of each round a unit of its own
    EXPECT_EQ(fields(events.lines.back(), {u"units_complete", u"units_failed", u"units",
                                           u"first_pass", u"final", u"retry"}),
              "2|2|4|2|2||");
    EXPECT_TRUE(contains(r.err, "Units 4: first pass 2 (50%), final 2 (50%)\n4 units: 2 complete, "
                                "2 no answer to the erase request"))
        << r.err;
    EXPECT_FALSE(contains(r.err, cli::text::RetryFailed)) << r.err;
    line.stop();
    EXPECT_EQ(line.heard(1), 5 * 4);
    // A unit whose device never answered spends no number of the batch (0: none).
    QSet<int> units;
    for (const QJsonObject& row : historyRows(s, "--batch B")) {
        units.insert(row[u"unit"].toInt());
    }
    EXPECT_EQ(units, (QSet<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(runCli(s, "--history --yield --by batch --csv").out,
              "batch,units,first_pass,first_pass_percent,final,final_percent,stopped,not_started,"
              "running\r\nB,7,5,71.4,5,71.4,0,0,0\r\n");

    // A signal while the next device is awaited ends the loop as it would a round.
    for (const int signal : {SIGINT, SIGTERM}) {
        Cli waiting(s, "--repeat -p " + line.port(1) + app, "");
        ASSERT_TRUE(waiting.waitSaid(prompt));
        waiting.signal(signal);
        EXPECT_EQ(waiting.finish().code, 128 + signal);
    }
}

} // namespace
} // namespace quill::e2e
