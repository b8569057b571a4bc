// SPDX-License-Identifier: MIT
// --json on several ports: the run's result with one result per device, in
// port order, as one valid JSON object.

#include "cli/multijson.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quill::cli {
namespace {

QJsonObject parsed(const std::string& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return doc.object();
}

TEST(MultiRunJson, HoldsTheRunAndEveryDeviceInPortOrder) {
    RunResult run;
    run.outcome = "devices_differ";
    run.exitCode = 10;
    run.baud = 38400;
    run.device = "tracker";
    run.recordsSent = 51;
    run.messages = {"Prepare 2 devices for download at 38400"};
    RunResult first = run;
    first.outcome = "complete";
    first.exitCode = 0;
    first.port = "COM1";
    first.devicePath = "/dev/ttyS0";
    first.recordsSent = 48;
    first.messages = {"Download complete"};
    RunResult second = first;
    second.outcome = "port_failure";
    second.exitCode = 5;
    second.port = "/dev/tty\xff";
    second.devicePath = second.port;
    second.recordsSent = 3;
    second.messages = {"The connection was lost.\rDownload stopped."};

    const QJsonObject json = parsed(multiRunJson(run, {first, second}));
    EXPECT_EQ(json[u"outcome"].toString(), QStringLiteral("devices_differ"));
    EXPECT_EQ(json[u"exit_code"].toInt(), 10);
    EXPECT_EQ(json[u"records_sent"].toInt(), 51);
    EXPECT_TRUE(json[u"port"].isNull());
    EXPECT_EQ(json[u"messages"].toArray().size(), 1);
    const QJsonArray devices = json[u"devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0].toObject()[u"port"].toString(), QStringLiteral("COM1"));
    EXPECT_EQ(devices[0].toObject()[u"outcome"].toString(), QStringLiteral("complete"));
    EXPECT_EQ(devices[1].toObject()[u"port"].toString(), QStringLiteral("/dev/tty\u00ff"));
    EXPECT_EQ(devices[1].toObject()[u"exit_code"].toInt(), 5);
    EXPECT_EQ(devices[1].toObject()[u"messages"].toArray()[0].toString(),
              QStringLiteral("The connection was lost.\rDownload stopped."));

    // No device at all: still one valid object.
    EXPECT_EQ(parsed(multiRunJson(run, {}))[u"devices"].toArray().size(), 0);
}

} // namespace
} // namespace quill::cli
