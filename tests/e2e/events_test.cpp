// SPDX-License-Identifier: MIT
// The live events of quill-cli at process level, beyond the lines every
// other end-to-end run checks (see checkedEvents): their pace on a fast
// device, and MQTT against a real mosquitto broker: every event on its
// topic, a broker lost mid-run that changes no download, and a broker that
// cannot be used, which ends the run before any port is touched.

#include "cli/clitexts.h"
#include "events/eventtexts.h"
#include "harness.h"
#include "mosquitto.h"
#include "shared/exitcodes.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

namespace quill::e2e {
namespace {

using enum ExitCode;

int64_t ms(const QJsonObject& line) {
    return QDateTime::fromString(line[u"time"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// A port as a level of a topic: as --log names its traces.
std::string level(std::string port) {
    port.erase(0, port.find_first_not_of('/'));
    std::replace(port.begin(), port.end(), '/', '_');
    return port;
}

// Two fast devices and thousands of records: each device's progress comes
// often enough to follow (at least once a second, with a margin for a busy
// machine) and never more than four times a second.
TEST(EventsE2e, ProgressAtMostFourTimesASecond) {
    Scratch s;
    firmware(s, 160 * 1024);
    Devices line(s, 2);
    const Result r = runCli(s, line.ports() + " -b 38400 -y -q --events " + s.path("events.jsonl") +
                                   " " + s.path("app.hex"));
    ASSERT_EQ(r.code, 0) << r.err;
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), 0);
    for (int k = 1; k <= 2; ++k) {
        const auto progress = events.of("progress", line.port(k));
        ASSERT_GE(progress.size(), 3u) << "a download of a second or more";
        EXPECT_LE(progress.front()[u"percent"].toInt(), 10);
        for (size_t i = 1; i < progress.size(); ++i) {
            EXPECT_LE(ms(progress[i]) - ms(progress[i - 1]), 1500) << i;
            EXPECT_GT(progress[i][u"records_sent"].toInt(),
                      progress[i - 1][u"records_sent"].toInt());
            if (i >= 4) {
                EXPECT_GE(ms(progress[i]) - ms(progress[i - 4]), 1000) << "five within a second";
            }
        }
        const QJsonObject ended = events.of("device_ended", line.port(k)).front();
        EXPECT_EQ(ended[u"records_sent"], ended[u"records_total"]);
        EXPECT_LE(ms(ended) - ms(progress.back()), 1500);
    }
}

// Every event of a run on two ports on TOPIC/PORT/EVENT or TOPIC/run/EVENT,
// as the lines of a file would be; a user and password the broker knows.
TEST(MqttE2e, EveryEventOnItsTopic) {
    Scratch s;
    writeFile(s.path("app.hex"), test::hexFile(40));
    test::Mosquitto broker(s.path("broker"), "station3", "s3cret pass");
    ASSERT_TRUE(broker.ok()) << broker.error();
    test::Subscriber sub(broker, "line7/st3", "station3", "s3cret pass");
    ASSERT_TRUE(sub.ok()) << sub.output();
    Devices line(s, 2);
    s.setVariable(events::text::PasswordVariable, "s3cret pass");
    const Result r = runCli(s, line.ports() + " -b 9600 -y --events-user station3 --events " +
                                   broker.url("line7/st3") + " " + s.path("app.hex"));
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(sub.waitFor("/run/run_ended")) << sub.output();
    std::string payloads;
    for (const auto& [topic, payload] : sub.messages()) {
        payloads += payload + "\n";
        const QJsonObject event = Result{0, {}, payload}.json();
        const std::string about =
            event[u"port"].isString() ? level(event[u"port"].toString().toStdString()) : "run";
        EXPECT_EQ(topic, "line7/st3/" + about + "/" + event[u"event"].toString().toStdString());
    }
    const Events events = checkedEvents(payloads, 0);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(events.of("device_started", line.port(k)).size(), 1u);
        EXPECT_EQ(events.of("device_ended", line.port(k)).front()[u"outcome"].toString(),
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

} // namespace
} // namespace quill::e2e
