// SPDX-License-Identifier: MIT
// The JSON of quill-cli's result: the object read back by Qt's JSON
// reader, alone and inside a larger object.

#include "cli/jsonresult.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quill::cli {
namespace {

RunResult sample() {
    RunResult r;
    r.outcome = "no_erase_answer";
    r.exitCode = 6;
    r.port = "COM2";
    r.devicePath = "/dev/tty\xffUSB0";
    r.baud = 38400;
    r.device = "manual";
    r.recordsSent = 12;
    r.recordsTotal = 1234;
    r.dataBytesSent = 192;
    r.dataBytesTotal = 19744;
    r.seconds = 12.3456;
    r.messages = {"Erasing Flash ...", "No response.\nCheck \"setup\"."};
    return r;
}

TEST(JsonResult, ObjectReadsBack) {
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(jsonObject(sample())), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << jsonObject(sample());
    const QJsonObject o = doc.object();
    EXPECT_EQ(o.size(), 13);
    EXPECT_EQ(o[u"outcome"].toString(), u"no_erase_answer");
    EXPECT_EQ(o[u"exit_code"].toInt(), 6);
    EXPECT_EQ(o[u"port"].toString(), u"COM2");
    EXPECT_EQ(o[u"device_path"].toString(), QStringLiteral("/dev/tty\u00ffUSB0"));
    EXPECT_EQ(o[u"baud"].toInt(), 38400);
    EXPECT_EQ(o[u"device"].toString(), u"manual");
    EXPECT_EQ(o[u"records_sent"].toInt(), 12);
    EXPECT_EQ(o[u"records_total"].toInt(), 1234);
    EXPECT_EQ(o[u"data_bytes_sent"].toInt(), 192);
    EXPECT_EQ(o[u"data_bytes_total"].toInt(), 19744);
    EXPECT_DOUBLE_EQ(o[u"seconds"].toDouble(), 12.346);
    const QJsonArray messages = o[u"messages"].toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1].toString(), u"No response.\nCheck \"setup\".");
}

// What is not known is null; an empty list of messages is an empty array.
TEST(JsonResult, UnknownsAreNull) {
    RunResult r;
    r.outcome = "usage";
    r.exitCode = 2;
    const QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(jsonObject(r))).object();
    for (const char* key : {"port", "device_path", "baud", "device"}) {
        EXPECT_TRUE(o[QLatin1StringView(key)].isNull()) << key;
    }
    EXPECT_TRUE(o[u"messages"].isArray());
    EXPECT_EQ(o[u"messages"].toArray().size(), 0);
}

// One object per port inside a larger one, indented to fit.
TEST(JsonResult, ObjectsInsideAnother) {
    const std::string inner = jsonObject(sample(), 4);
    EXPECT_TRUE(inner.starts_with("    {\n      \"outcome\"")) << inner;
    EXPECT_TRUE(inner.ends_with("\n    }")) << inner;
    const std::string outer = "{\n  \"ports\": [\n" + inner + ",\n" + inner + "\n  ]\n}\n";
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(outer), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << outer;
    EXPECT_EQ(doc.object()[u"ports"].toArray().size(), 2);
    EXPECT_EQ(doc.object()[u"ports"].toArray()[1].toObject()[u"exit_code"].toInt(), 6);
}

} // namespace
} // namespace quill::cli
