// SPDX-License-Identifier: MIT
// The JSON of quill-cli's result, for one port and for several: read back by
// Qt's JSON reader and written again compact, its keys in order.

#include "cli/jsonresult.h"
#include "shared/module1.h"

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
    RunReport run;
    run.outcome = Outcome::DevicesDiffer;
    run.code = ExitCode::DevicesDiffer;
    DeviceReport first;
    first.outcome = Outcome::NoEraseAnswer;
    first.port = "COM2";
    first.devicePath = "/dev/tty\xffUSB0";
    first.baud = 38400;
    first.deviceType = device_manual;
    first.identity.sha256 = "ab12";
    first.progress.records = 51;
    first.totals.records = 1234;
    first.progress.dataBytes = 192;
    first.totals.dataBytes = 19744;
    first.progress.seconds = 12.3456;
    first.messages = {"Erasing Flash ...", "No response.\nCheck \"setup\"."};
    first.serial = "0x1A2B";
    first.unitKey = "u1";
    first.attemptNo = 1;
    DeviceReport second;
    second.outcome = Outcome::PortFailure;
    second.port = "COM1";
    run.devices = {first, second};
    const std::string json = portsJson(run, {});
    EXPECT_NE(json.find("\n  \"devices\": [\n    {\n      \"outcome\""), std::string::npos);
    EXPECT_EQ(
        readBack(json),
        R"({"attempt":null,"baud":38400,"data_bytes_sent":192,"data_bytes_total":19744,)"
        R"("device":"manual","device_path":null,"devices":[{"attempt":1,"baud":38400,)"
        R"("data_bytes_sent":192,"data_bytes_total":19744,"device":"manual","device_path":"/dev/tty)"
        "\u00ff"
        R"(USB0","exit_code":6,"file_sha256":"ab12","messages":["Erasing Flash ...",)"
        R"("No response.\nCheck \"setup\"."],"outcome":"no_erase_answer","port":"COM2",)"
        R"("recipe":null,"records_sent":51,"records_total":1234,"seconds":12.346,"serial":"0x1A2B",)"
        R"("unit_key":"u1","work_order":null},{"attempt":null,"baud":null,)"
        R"("data_bytes_sent":0,"data_bytes_total":0,"device":null,"device_path":null,)"
        R"("exit_code":5,"file_sha256":null,"messages":[],"outcome":"port_failure",)"
        R"("port":"COM1","recipe":null,"records_sent":0,"records_total":0,"seconds":0,)"
        R"("serial":null,"unit_key":null,"work_order":null}],"exit_code":10,)"
        R"("file_sha256":null,"final":0,"first_pass":0,"messages":[],"outcome":"devices_differ",)"
        R"("port":null,"recipe":null,"records_sent":51,"records_total":1234,"seconds":12.346,)"
        R"("serial":null,"unit_key":null,"units":1,"work_order":null})");
    run.devices.clear();
    EXPECT_NE(readBack(portsJson(run, {})).find(R"("devices":[],)"), std::string::npos);
}

} // namespace
} // namespace quill::cli
