// SPDX-License-Identifier: MIT
// The history when the world fails, at process level: a shared PostgreSQL
// that is restarted mid-download, down at the start or frozen; files of
// ours that turn out to be links. No row is lost and none is left wrong,
// and quill-cli never waits long for the history: what it could not take
// waits in the journal for the next run. (A history that fails its writes,
// such as a full SQLite file, is for the store's and the journal's tests.)

#include "harness.h"
#include "history/historytexts.h"
#include "runner/runnertexts.h"
#include "shared/exitcodes.h"
#include "sharedpgserver.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <filesystem>
#include <memory>

namespace quill::e2e {
namespace {

PgServer& server() {
    return test::sharedPgServer();
}

// The outcome of every row of the history, newest first.
std::string outcomes(const Scratch& s, const std::string& history = {}) {
    std::string all;
    for (const QJsonObject& row : historyRows(s, history)) {
        all += row[u"outcome"].toString().toStdString() + " ";
    }
    return all;
}

// Lines the database client would have written raw: never ours.
bool rawClientLines(const std::string& err) {
    return contains(err, "\nFATAL:") || contains(err, "\nWARNING:") || err.starts_with("FATAL:") ||
           err.starts_with("WARNING:");
}

TEST(Outage, APostgresThatGoesAwayLosesNoRow) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(30));
    Devices dev(s, 1, "--record-ack-ms 20");
    const std::string history = "--history-url " + server().url(server().newDatabase());
    ASSERT_EQ(server().failure(), "");
    const std::string args =
        "-p " + dev.port() + " -b 38400 -y " + history + " " + s.path("app.hex");

    // Restarted mid-download, as after a crash: the end goes over a new
    // connection, and what the server said as it went is no raw line of ours.
    Cli restarted(s, args);
    ASSERT_TRUE(dev.waitHeard("host> :", 5));
    server().stop(true);
    ASSERT_TRUE(server().startAgain()) << server().failure();
    Result r = restarted.finish();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(rawClientLines(r.err)) << r.err;
    EXPECT_FALSE(contains(r.err, quill::text::RowWaits)) << r.err; // all there at once
    EXPECT_EQ(outcomes(s, history), "complete ");

    // Down at the start: the download goes on, its row waits, said once.
    server().stop();
    QElapsedTimer clock;
    clock.start();
    r = runCli(s, args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(count(r.err, std::string("1") + quill::text::RowWaits), 1) << r.err;

    // Up again: the listing takes it there first.
    ASSERT_TRUE(server().startAgain()) << server().failure();
    EXPECT_EQ(outcomes(s, history), "complete complete ");
}

// A server that stops answering (a frozen process, or a network partition)
// holds neither the download nor the end of quill-cli.
TEST(Outage, AFrozenPostgresNeverHoldsTheStation) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(30));
    Devices dev(s, 1, "--record-ack-ms 20");
    const std::string history = "--history-url " + server().url(server().newDatabase());
    Cli cli(s, "-p " + dev.port() + " -b 38400 -y --json " + history + " " + s.path("app.hex"));
    ASSERT_TRUE(dev.waitHeard("host> :", 5));
    server().freeze();
    QElapsedTimer clock;
    clock.start();
    const Result r = cli.finish();
    const qint64 took = clock.elapsed();
    server().thaw();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_LT(took, 8000); // the download, then at most a few seconds for the history
    EXPECT_EQ(r.json()[u"outcome"].toString(), QStringLiteral("complete"));
    EXPECT_TRUE(contains(r.err, quill::text::RowWaits)) << r.err;
    EXPECT_EQ(outcomes(s, history), "complete ");
}

// --require-history is content with the journal, refuses to start when
// neither the history nor the journal can be written, and fails a run whose
// end neither took.
TEST(Outage, RequireHistoryMeansOnRecord) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(2));
    writeFile(s.path("plain"), "not a folder");
    Devices dev(s, 1, "--record-ack-ms 200");
    const std::string args = "-p " + dev.port() + " -b 9600 -y --require-history --history-url " +
                             s.path("plain/history.sqlite") + " " + s.path("app.hex");
    Result r = runCli(s, args);
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string said = "The history could not be opened (" + s.path("plain/history.sqlite");
    EXPECT_EQ(count(r.err, said), 1) << r.err;
    Cli cli(s, args); // its journal goes mid-download: its end is recorded nowhere
    ASSERT_TRUE(dev.waitHeard("host> :", count(dev.log(), "host> :") + 2));
    std::filesystem::remove_all(s.path("data/quill/journal"));
    EXPECT_EQ(cli.finish().code, toInt(ExitCode::HistoryFailed));
    const int heard = dev.heard();
    s.setVariable("XDG_DATA_HOME", s.path("plain")); // and no journal either
    r = runCli(s, args);
    EXPECT_EQ(r.code, toInt(ExitCode::HistoryFailed)) << r.err;
    EXPECT_TRUE(contains(r.err, quill::text::HistoryRequired)) << r.err;
    EXPECT_TRUE(contains(r.err, quill::text::NorToJournal)) << r.err; // never "waits"
    // A signal ends that wait (five seconds for the history) at once.
    Cli waiting(s, args);
    QThread::msleep(1000);
    QElapsedTimer since;
    since.start();
    waiting.signal(SIGINT);
    EXPECT_EQ(waiting.finish().code, toInt(ExitCode::Interrupted));
    EXPECT_LT(since.elapsed(), 2000);
    dev.stop();
    EXPECT_EQ(dev.heard(), heard);
}

// The station's own history and its journal are never another program's
// files reached through a link.
TEST(Outage, FilesOfOursAreNeverWrittenThroughALink) {
    for (const char* linked : {"data/quill/history.sqlite", "data/quill/journal"}) {
        SCOPED_TRACE(linked);
        Scratch s;
        writeFile(s.path("app.hex"), test::hexFile(2));
        writeFile(s.path("other"), "another program's file");
        std::filesystem::create_directories(s.path("data/quill"));
        std::filesystem::create_symlink(s.path("other"), s.path(linked));
        Devices dev(s, 1);
        const Result r = runCli(s, "-p " + dev.port() + " -b 9600 -y " + s.path("app.hex"));
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(contains(r.err, s.path(linked) + "): it is a symbolic link")) << r.err;
        EXPECT_FALSE(contains(r.err, quill::text::HistoryGoesOn))
            << r.err; // the row went somewhere
        EXPECT_EQ(readFile(s.path("other")), "another program's file");
    }
}

} // namespace
} // namespace quill::e2e
