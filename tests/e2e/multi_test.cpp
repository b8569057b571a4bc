// SPDX-License-Identifier: MIT
// quill-cli on several ports at once, against one quill-devsim playing a
// line of devices: every device that works completes with the file's
// image, whatever the others do; the exit code, the final table and the
// JSON result say which device ended how.

#include "cli/clitexts.h"
#include "download/downloadtexts.h"
#include "harness.h"
#include "hexfile/hexfiletexts.h"
#include "run/runtexts.h"
#include "runner/runnertexts.h"
#include "ser2net.h"
#include "shared/exitcodes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>

namespace quill::e2e {
namespace {

using enum ExitCode;

const std::string fast = " --baud 38400 --yes ";

// The final table's row of a port: the port, then its outcome.
bool tableSays(const std::string& err, const std::string& port, const std::string& outcome) {
    return std::regex_search(err, std::regex("(^|\n)" + port + " +" + outcome + " "));
}

// A line of devices, some of them faulty.
struct Line {
    const char* name;
    int devices;
    std::string devsim;                // quill-devsim's options
    std::string cli;                   // quill-cli's, besides the ports and the file
    ExitCode code;                     // of the whole run
    std::vector<std::string> outcomes; // port by port: in the table, then in the JSON
    std::vector<std::string> messages; // on standard error, each line prefixed with its port
    bool staggered;                    // the last device still reboots when the others are done
    friend void PrintTo(const Line& l, std::ostream* os) { *os << l.name; }
};

Line row(const char* name, int devices, const std::string& devsim, const std::string& cli,
         ExitCode code, const std::vector<std::string>& outcomes,
         const std::vector<std::string>& messages = {}, bool staggered = false) {
    return {name, devices, devsim, cli, code, outcomes, messages, staggered};
}

// The milliseconds of the first line of a device's log holding `what`; -1 if none.
double when(const std::string& log, const std::string& what) {
    const Lines lines = test::splitLines(log);
    const auto at =
        std::find_if(lines.begin(), lines.end(), [&](auto& l) { return contains(l, what); });
    return at == lines.end() ? -1 : std::stod(*at);
}

class Multi : public ::testing::TestWithParam<Line> {};

TEST_P(Multi, EachDeviceEndsOnItsOwn) {
    const Line& c = GetParam();
    Scratch s;
    const std::string binary = firmware(s, 3 * 1024 + 7);
    Devices line(s, c.devices, c.devsim);
    const Result r = runCli(s, line.ports() + fast + c.cli + " --json --log " + s.path("logs") +
                                   " --events " + s.path("events.jsonl") + " " + s.path("app.hex"));
    const Events events = checkedEvents(readFile(s.path("events.jsonl")), r.code);
    line.stop();

    EXPECT_EQ(r.code, toInt(c.code)) << r.err;
    const QJsonObject json = r.json();
    EXPECT_EQ(json[u"exit_code"].toInt(), toInt(c.code));
    const QJsonArray devices = json[u"devices"].toArray();
    ASSERT_EQ(devices.size(), c.devices) << r.out;
    // Each device a row of the history; the command offered again names
    // the ports that failed, and only those.
    std::map<std::string, std::string> recorded;
    for (const QJsonObject& row : historyRows(s)) {
        const std::string port = row[u"port"].toString().toStdString();
        recorded[port] = row[u"outcome"].toString().toStdString();
        // The terminal the link stood for, as on one port.
        EXPECT_TRUE(row[u"device_path"].toString().startsWith(u"/dev/pts/")) << port;
    }
    EXPECT_EQ(recorded.size(), size_t(c.devices));
    std::string retry = cli::text::RetryFailed + std::string("quill-cli");
    for (int k = 1; k <= c.devices; ++k) {
        const auto& [table, machine] = std::pair{c.outcomes[2 * (k - 1)], c.outcomes[2 * k - 1]};
        EXPECT_EQ(recorded[line.port(k)], machine);
        EXPECT_EQ(events.of("device_ended", line.port(k)).at(0)[u"outcome"].toString(),
                  QString::fromStdString(machine));
        retry += machine == "complete" ? "" : " -p " + line.port(k);
        const QJsonObject device = devices[k - 1].toObject();
        EXPECT_EQ(std::pair(device[u"port"].toString(), device[u"outcome"].toString()),
                  std::pair(QString::fromStdString(line.port(k)), QString::fromStdString(machine)));
        EXPECT_TRUE(tableSays(r.err, line.port(k), table)) << line.port(k) << ": " << r.err;
        if (table == "complete") {
            EXPECT_TRUE(contains(r.err, line.port(k) + ": " + text::DownloadComplete)) << r.err;
            EXPECT_TRUE(line.image(k) == binary) << "device " << k << "'s image differs";
            EXPECT_FALSE(contains(line.log(k), "parity ignored")) << line.log(k);
            // A trace per device, named after its port, with its own device's conversation.
            std::string name = line.port(k).substr(1) + ".log";
            std::replace(name.begin(), name.end(), '/', '_');
            const std::string trace = readFile(s.path("logs/" + name));
            EXPECT_TRUE(trace.starts_with("# quill-cli ")) << trace;
            EXPECT_TRUE(contains(trace, "START " + line.port(k) + " 38400,")) << trace;
            EXPECT_EQ(count(trace, "TX    3A "), count(line.log(k), "host> :")) << trace;
        }
    }
    if (c.staggered) { // its reboot ends with its first XON
        const double slowReady = when(line.log(c.devices), "dev> 11");
        EXPECT_GT(slowReady, 1000) << line.log(c.devices);
        for (int k = 1; k < c.devices; ++k) {
            EXPECT_LT(when(line.log(k), "host> :00000001FF"), slowReady) << line.log(k);
        }
    }
    for (const std::string& message : c.messages) {
        EXPECT_TRUE(contains(r.err, message)) << "missing: " << message << "\n" << r.err;
    }
    // The same firmware, held to its SHA-256, with every option of the run
    // but --json and --log; the events offer the same command.
    const QJsonValue offered = events.lines.back()[u"retry"];
    EXPECT_EQ(offered.isNull(), c.code == Complete);
    EXPECT_TRUE(offered.isNull() || contains(r.err, offered.toString().toStdString() + "\n"));
    EXPECT_EQ(contains(r.err, retry + " -b 38400 -y " + c.cli) &&
                  contains(r.err, " --expect-sha256 " +
                                      json[u"file_sha256"].toString().toStdString() + " --events " +
                                      s.path("events.jsonl") + " -- " + s.path("app.hex") + "\n"),
              c.code != Complete)
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    E2e, Multi,
    ::testing::Values(
        row("FourManualDevices", 4, "", "", Complete,
            {"complete", "complete", "complete", "complete", "complete", "complete", "complete",
             "complete"},
            {"Prepare 4 devices for download at 38400 [y/N] y (--yes)", "tty1: Erasing Flash ...",
             "tty4: Programming Flash ...", "tty3: 75%, ",
             "tty3: complete, 196/196 records, 3079/3079 data bytes"}),
        // Two failures of different kinds: neither code stands for the run.
        row("FailuresThatDiffer", 4, "--unplug-after 1:20 --fault 4:silent", "", DevicesDiffer,
            {"port error", "port_failure", "complete", "complete", "complete", "complete",
             "no erase answer", "no_erase_answer"},
            {"tty1: " + std::string(text::DownloadStopped),
             "tty4: No response on erase flash request."}),
        row("OneFallsSilentMidTransfer", 2, "--silent-after 1:10", "--idle-timeout 1", IdleTimeout,
            {"silent", "idle_timeout", "complete", "complete"}, {}),
        // Each Tracker's handshake takes its own time, and waits for no other.
        row("TrackersEachInTheirOwnTime", 3,
            "--device tracker --reboot-ms 1:30 --frame-ack-ms 2:150 --reboot-ms 2:300 "
            "--reboot-ms 3:1500",
            "--device tracker", Complete,
            {"complete", "complete", "complete", "complete", "complete", "complete"}, {}, true)),
    [](const auto& info) { return std::string(info.param.name); });

// The file is rewritten while its records go out to three devices: each
// reads it on its own and stops on its own, none hears the end record.
TEST(MultiE2e, AFileChangedMidDownloadCompletesOnNoDevice) {
    Scratch s;
    firmware(s, 3 * 1024 + 7);
    Devices line(s, 3, "--record-ack-ms 2");
    Cli cli(s, line.ports() + fast + s.path("app.hex"));
    ASSERT_TRUE(line.waitHeard(" host> ", 20, 3));
    std::string text = readFile(s.path("app.hex"));
    std::erase(text, '\r'); // the same firmware, written anew with other line ends
    writeFile(s.path("app.hex"), text);
    const Result r = cli.finish();
    line.stop();
    EXPECT_EQ(r.code, toInt(BadRecord)) << r.err;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(tableSays(r.err, line.port(k), "file changed")) << r.err;
        EXPECT_FALSE(contains(line.log(k), "-- end of file")) << line.log(k);
    }
    EXPECT_FALSE(contains(r.err, text::DownloadComplete)) << r.err;
}

// Two ports on the network, each served by a real ser2net, beside a local
// one: a Manual download at 38400 and a Tracker download at 9600 reach the
// device behind the first whole, at the parity it expects; the second
// ser2net is killed mid-download, which ends its device with a port error
// within a second. The trace shows what the server did. (--check-port's
// read-back of a server: networkcomm_test and ports_test.)
TEST(MultiE2e, PortsOnTheNetwork) {
    Scratch s;
    const std::string binary = firmware(s, 3 * 1024 + 7);
    for (const std::string kind : {"manual", "tracker"}) {
        Devices line(s, 3, "--device " + kind + " --record-ack-ms 3:20");
        test::Ser2net served(std::filesystem::canonical(line.port(2)).string());
        test::Ser2net killed(std::filesystem::canonical(line.port(3)).string());
        ASSERT_TRUE(served.ok() && killed.ok()) << served.error() << killed.error();
        Cli cli(s, "-v -p " + line.port(1) + " -p " + served.url() + " -p " + killed.url() +
                       (kind == "manual" ? fast : " -b 9600 -d tracker ") + s.path("app.hex"));
        ASSERT_TRUE(line.waitHeard("host> :10", 20, 3));
        QElapsedTimer clock;
        clock.start();
        killed.kill();
        EXPECT_TRUE(
            cli.waitSaid(killed.url() + ": The connection to " + killed.url() + " was lost"));
        EXPECT_LT(clock.elapsed(), 1000);
        const Result r = cli.finish();
        EXPECT_EQ(r.code, toInt(PortError)) << r.err;
        EXPECT_TRUE(tableSays(r.err, served.url(), "complete")) << r.err;
        // A Tracker's switch to mark parity goes through the server too.
        const std::string baud = kind == "manual" ? "38400" : "9600";
        EXPECT_TRUE(contains(r.err, "NET   The server set " + baud + " baud, 8 data bits, MARK"))
            << r.err;
        for (const int k : {1, 2}) {
            EXPECT_TRUE(line.image(k) == binary) << kind << " device " << k;
            EXPECT_FALSE(contains(line.log(k), "parity ignored")) << line.log(k);
        }
    }
}

} // namespace
} // namespace quill::e2e
