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
    RunResult run;
    run.outcome = "devices_differ";
    run.exitCode = 10;
    run.recordsSent = 51;
    run.seconds = 12.3456;
    RunResult first = run;
    first.outcome = "no_erase_answer";
    first.exitCode = 6;
    first.port = "COM2";
    first.devicePath = "/dev/tty\xffUSB0";
    first.baud = 38400;
    first.device = "manual";
    first.fileSha256 = "ab12";
    first.recordsTotal = 1234;
    first.dataBytesSent = 192;
    first.dataBytesTotal = 19744;
    first.messages = {"Erasing Flash ...", "No response.\nCheck \"setup\"."};
    RunResult second;
    second.outcome = "port_failure";
    second.exitCode = 5;
    second.port = "COM1";
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
