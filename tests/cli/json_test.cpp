// SPDX-License-Identifier: MIT
// The JSON of quill-cli's result, for one port and for several: read back by
// Qt's JSON reader and written again compact, its keys in order.

#include "cli/multijson.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

namespace quill::cli {
namespace {

std::string readBack(const std::string& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return QJsonDocument(doc.object()).toJson(QJsonDocument::Compact).toStdString();
}

// What is not known is null; a byte that is not UTF-8 comes back as its code
// point; the devices go inside the run's object, in port order, indented to fit.
TEST(MultiRunJson, HoldsTheRunAndEveryDeviceInPortOrder) {
    const RunResult run{
        .outcome = "devices_differ", .exitCode = 10, .recordsSent = 51, .seconds = 12.3456};
    const RunResult first{.outcome = "no_erase_answer",
                          .exitCode = 6,
                          .port = "COM2",
                          .devicePath = "/dev/tty\xffUSB0",
                          .baud = 38400,
                          .device = "manual",
                          .fileSha256 = "ab12",
                          .recordsSent = 51,
                          .recordsTotal = 1234,
                          .dataBytesSent = 192,
                          .dataBytesTotal = 19744,
                          .seconds = 12.3456,
                          .messages = {"Erasing Flash ...", "No response.\nCheck \"setup\"."}};
    const RunResult second{.outcome = "port_failure", .exitCode = 5, .port = "COM1"};
    const std::string json = multiRunJson(run, {first, second});
    EXPECT_NE(json.find("\n  \"devices\": [\n    {\n      \"outcome\""), std::string::npos);
    EXPECT_EQ(readBack(json),
              R"({"baud":null,"data_bytes_sent":0,"data_bytes_total":0,"device":null,)"
              R"("device_path":null,"devices":[{"baud":38400,"data_bytes_sent":192,)"
              R"("data_bytes_total":19744,"device":"manual","device_path":"/dev/tty)"
              "\u00ff"
              R"(USB0","exit_code":6,"file_sha256":"ab12","messages":["Erasing Flash ...",)"
              R"("No response.\nCheck \"setup\"."],"outcome":"no_erase_answer","port":"COM2",)"
              R"("records_sent":51,"records_total":1234,"seconds":12.346},{"baud":null,)"
              R"("data_bytes_sent":0,"data_bytes_total":0,"device":null,"device_path":null,)"
              R"("exit_code":5,"file_sha256":null,"messages":[],"outcome":"port_failure",)"
              R"("port":"COM1","records_sent":0,"records_total":0,"seconds":0}],"exit_code":10,)"
              R"("file_sha256":null,"messages":[],"outcome":"devices_differ","port":null,)"
              R"("records_sent":51,"records_total":0,"seconds":12.346})");
    EXPECT_NE(readBack(multiRunJson(second, {})).find(R"("devices":[],)"), std::string::npos);
}

} // namespace
} // namespace quill::cli
