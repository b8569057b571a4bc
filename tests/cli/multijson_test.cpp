// SPDX-License-Identifier: MIT
// --json on several ports: a valid JSON object whatever the bytes of the
// names in it, with the run's result and one result per device in order.

#include "cli/multijson.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quill::cli {
namespace {

TEST(JsonString, EscapesWhatJsonCannotHold) {
    const std::pair<std::string, std::string> table[] = {
        {"plain", "\"plain\""},
        {"a \"b\" \\c", "\"a \\\"b\\\" \\\\c\""},
        {"line\rnext\n", "\"line\\rnext\\n\""},
        {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
        {"caf\xc3\xa9 \xe2\x82\xac", "\"caf\xc3\xa9 \xe2\x82\xac\""},  // UTF-8 stays
        {"firm\xff\xfe\xe9.hex", "\"firm\\u00ff\\u00fe\\u00e9.hex\""}, // other bytes do not
        {"cut \xe2\x82", "\"cut \\u00e2\\u0082\""},
    };
    for (const auto& [text, json] : table) {
        EXPECT_EQ(jsonString(text), json) << text;
    }
}

TEST(MultiRunJson, HoldsTheRunAndEveryDeviceInPortOrder) {
    MultiRunResult r;
    r.code = ExitCode::DevicesDiffer;
    r.status = 10;
    r.baud = 38400;
    r.deviceKind = "tracker";
    r.file = "fw\xff.hex";
    r.totals = {48, 768};
    DeviceStatus a;
    a.port = "COM1";
    a.ended = true;
    a.code = ExitCode::Complete;
    a.records = 48;
    a.dataBytes = 768;
    a.seconds = 1.25;
    DeviceStatus b = a;
    b.port = "/dev/ttyUSB1";
    b.code = ExitCode::PortError;
    b.records = 3;
    r.devices = {a, b};
    r.devicePaths = {"/dev/ttyS0", "/dev/ttyUSB1"};
    r.messages = {{"Download complete"}, {"The connection was lost.\rDownload stopped."}};

    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(multiRunJson(r)), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << multiRunJson(r);
    const QJsonObject run = doc.object();
    EXPECT_EQ(run[u"outcome"].toString(), QStringLiteral("devices ended differently"));
    EXPECT_EQ(run[u"exit_code"].toInt(), 10);
    EXPECT_EQ(run[u"baud"].toInt(), 38400);
    EXPECT_EQ(run[u"device"].toString(), QStringLiteral("tracker"));
    EXPECT_EQ(run[u"records_total"].toInt(), 48);
    const QJsonArray devices = run[u"devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    const QJsonObject first = devices[0].toObject();
    const QJsonObject second = devices[1].toObject();
    EXPECT_EQ(first[u"port"].toString(), QStringLiteral("COM1"));
    EXPECT_EQ(first[u"device_path"].toString(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(first[u"outcome"].toString(), QStringLiteral("complete"));
    EXPECT_EQ(first[u"data_bytes_sent"].toInt(), 768);
    EXPECT_DOUBLE_EQ(first[u"seconds"].toDouble(), 1.25);
    EXPECT_EQ(second[u"outcome"].toString(), QStringLiteral("port error"));
    EXPECT_EQ(second[u"exit_code"].toInt(), 5);
    EXPECT_EQ(second[u"records_sent"].toInt(), 3);
    EXPECT_EQ(second[u"messages"].toArray()[0].toString(),
              QStringLiteral("The connection was lost.\rDownload stopped."));
}

} // namespace
} // namespace quill::cli
