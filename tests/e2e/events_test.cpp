// SPDX-License-Identifier: MIT
// The live events of quill-cli at process level, beyond the lines every
// other end-to-end run checks (see checkedEvents): MQTT against a real
// mosquitto broker: every event on its topic, a broker lost mid-run that
// changes no download, and a broker that cannot be used, which ends the run
// before any port is touched; a signal while the target is awaited. (The
// pace of progress: ProgressPace, and one progress event of a short
// download in Results.TraceFileShortTraceAndJson.)

#include "events/eventsink.h"
#include "events/eventtexts.h"
#include "harness.h"
#include "mosquitto.h"
#include "shared/exitcodes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <QTcpServer>
#include <QThread>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>

namespace quill::e2e {
namespace {

using enum ExitCode;

// Every event of a run on two ports on TOPIC/PORT/EVENT or TOPIC/run/EVENT,
// as the lines of a file would be, ports named with MQTT's wildcards too;
// a user and password the broker knows.
TEST(MqttE2e, EveryEventOnItsTopic) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(40));
    test::Mosquitto broker(s.path("broker"), "station3", "s3cret pass");
    ASSERT_TRUE(broker.ok()) << broker.error();
    test::Subscriber sub(broker, "line7/st3", "station3", "s3cret pass");
    ASSERT_TRUE(sub.ok()) << sub.output();
    Devices devices(s, 2);
    const std::vector<std::string> port = {"", s.path("a+1"), s.path("b#2")};
    std::filesystem::create_symlink(devices.port(1), port[1]);
    std::filesystem::create_symlink(devices.port(2), port[2]);
    s.setVariable(events::text::PasswordVariable, "s3cret pass");
    const Result r = runCli(s, " -p " + port[1] + " -p " + port[2] +
                                   " -b 9600 -y --events-user station3 --events " +
                                   broker.url("line7/st3") + " " + s.path("app.hex"));
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(sub.waitFor("/run/run_ended")) << sub.output();
    std::string payloads;
    for (const auto& [topic, payload] : sub.messages()) {
        payloads += payload + "\n";
        const QJsonObject event = Result{0, {}, payload}.json();
        const std::string about = event[u"port"].isString()
                                      ? events::topicLevel(event[u"port"].toString().toStdString())
                                      : "run";
        EXPECT_EQ(topic, "line7/st3/" + about + "/" + event[u"event"].toString().toStdString());
    }
    const Events events = checkedEvents(payloads, 0);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(events.of("device_started", port[k]).size(), 1u);
        EXPECT_EQ(events.of("device_ended", port[k]).front()[u"outcome"].toString(),
                  QStringLiteral("complete"));
    }
    EXPECT_FALSE(contains(r.err + r.out, "s3cret")) << r.err;
}

// The broker killed while the records go out: the download goes on at its
// pace and completes whole; what the broker missed is said once, at the end.
TEST(MqttE2e, ABrokerKilledMidRunChangesNoDownload) {
    Scratch s;
    const std::string binary = firmware(s, 6 * 1024);
    test::Mosquitto broker(s.path("broker"));
    ASSERT_TRUE(broker.ok()) << broker.error();
    test::Subscriber sub(broker, "line7");
    ASSERT_TRUE(sub.ok()) << sub.output();
    Devices dev(s, 1, "--record-ack-ms 4");
    Cli cli(s, "-p " + dev.port() + " -b 38400 -y --events " + broker.url("line7") + " " +
                   s.path("app.hex"));
    ASSERT_TRUE(sub.waitFor("/progress")) << sub.output();
    broker.kill();
    QElapsedTimer clock;
    clock.start();
    const Result r = cli.finish();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(dev.image() == binary);
    EXPECT_EQ(count(r.err, std::string(events::text::EventsCouldNot) + events::text::PublishedTo +
                               broker.url("line7")),
              1)
        << r.err;
    EXPECT_LT(clock.elapsed(), 10000);
}

// A broker that is not there, that refuses the user, or whose certificate
// is not trusted: exit status 12 before any device hears a byte, the
// password never shown; a trusted TLS broker takes the events.
TEST(MqttE2e, ABrokerThatCannotBeUsedEndsTheRunBeforeAnyPort) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(2));
    test::Mosquitto broker(s.path("broker"), "station3", "right");
    test::Mosquitto tls(s.path("tls"), {}, {}, true);
    ASSERT_TRUE(broker.ok() && tls.ok()) << broker.error() << tls.error();
    Devices dev(s, 1);
    const std::string app = " -b 9600 -y --json " + s.path("app.hex");
    s.setVariable(events::text::PasswordVariable, "wrong");
    for (const auto& [events, code, said] : {
             std::tuple{std::string("--events mqtt://127.0.0.1:1/line7"), EventsFailed,
                        std::string("Connection refused")},
             {"--events-user station3 --events " + broker.url("line7"), EventsFailed,
              std::string("not authorised")},
             {"--events " + tls.url("line7", "mqtts"), EventsFailed, std::string()},
         }) {
        QElapsedTimer clock;
        clock.start();
        const Result r = runCli(s, "-p " + dev.port() + " " + events + app);
        EXPECT_EQ(r.code, toInt(code)) << events << "\n" << r.err;
        EXPECT_LT(clock.elapsed(), 8000) << events;
        EXPECT_TRUE(contains(r.err, events::text::NotPublishedTo) && contains(r.err, said))
            << r.err;
        EXPECT_EQ(r.json()[u"outcome"].toString(), QStringLiteral("events_failed"));
        EXPECT_FALSE(contains(r.err + r.out, "wrong")) << r.err;
    }
    // The broker's certificate trusted as the system's would be.
    s.setVariable("SSL_CERT_FILE", s.path("tls/ca.crt"));
    const Result r = runCli(s, "-p " + dev.port() + " --events " + tls.url("line7", "mqtts") + app);
    EXPECT_EQ(r.code, 0) << r.err;
    dev.stop();
    EXPECT_EQ(dev.heard(), 4); // the erase request and three records, of the last run alone
}

// A signal ends each wait outside the download within a second: for a
// FIFO's reader, for a broker that has taken the connection and never
// answers (130, nothing sent), and at the end for a history whose server
// never answers (the run's own status, its JSON printed).
TEST(EventsE2e, ASignalEndsEveryWaitOutsideTheDownload) {
    Scratch s;
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0);
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const std::string at = "127.0.0.1:" + std::to_string(silent.serverPort());
    for (const auto& [options, code, outcome] : {
             std::tuple{"--events " + s.path("fifo"), 130, "interrupted"},
             {"--events mqtt://" + at + "/l", 130, "interrupted"},
             {"--history-url postgresql://q@" + at + "/q", 3, "file_error"},
         }) {
        Cli cli(s, "-p " + s.path("port") + " -b 9600 -y --json " + options + " a.hex");
        ASSERT_TRUE(options.ends_with("fifo") || silent.waitForNewConnection(5000)) << options;
        QThread::msleep(300); // nothing to see of a writer waiting for its reader
        const auto signalled = std::chrono::steady_clock::now();
        cli.signal(SIGINT);
        const Result r = cli.finish();
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1)) << options;
        EXPECT_EQ(r.code, code) << r.err;
        EXPECT_EQ(r.json()[u"outcome"].toString(), QString::fromLatin1(outcome));
    }
}

} // namespace
} // namespace quill::e2e
