// SPDX-License-Identifier: MIT
// The serial ports as quill-cli shows them: the names in its messages, the
// permission advice, --list-ports, and the adapter check --check-port, on a
// pseudo-terminal end to end.

#include "cli/clitexts.h"
#include "cli/portcheck.h"
#include "cli/portlist.h"
#include "ptypair.h"
#include "qt/portscan.h"
#include "qt/qtmscomm.h"
#include "qt/serialline_unix.h"
#include "shared/exitcodes.h"
#include "testtext.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <unistd.h>

namespace quill::cli {
namespace {

using test::contains;

// A path with a "/" is taken from the working folder, a bare name from /dev.
TEST(PortNames, APathIsNamedAsGivenAComPortWithItsDevice) {
    const std::string here = std::filesystem::current_path().string();
    // The port's name, whether named by its device, the message.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"/nowhere/ttyX", true, "Cannot open /nowhere/ttyX: the port does not exist."},
        {"/nowhere/ttyX", false, "Cannot open COM1 (/nowhere/ttyX): the port does not exist."},
        {"./nowhere/../nowhere/ttyX", true,
         "Cannot open " + here + "/nowhere/ttyX: the port does not exist."},
        {"ttyQuillNowhere", true, "Cannot open /dev/ttyQuillNowhere: the port does not exist."},
    };
    for (const auto& [name, byDevice, expected] : cases) {
        QtMSComm port([&name](int16_t) { return name; });
        port.setNamedByDevice(byDevice);
        port.setCommPort(1);
        EXPECT_EQ(port.setPortOpen(true).value().text, expected); // throws when it opened
    }
}

TEST(PortNames, PermissionAdviceNamesTheDevicesGroup) {
    const std::string denied = "Cannot open /dev/ttyUSB0: permission denied.\r";
    EXPECT_EQ(serialline::permissionText("/dev/ttyUSB0", "uucp"),
              denied + "The device belongs to the group uucp: join it with \"sudo usermod -aG "
                       "uucp $USER\", then log out and in again.");
    for (const char* group : {"", "root"}) {
        EXPECT_EQ(serialline::permissionText("/dev/ttyUSB0", group),
                  denied + "Ask the administrator for access to the device.");
    }
    // A new file belongs to the process's group.
    QTemporaryDir dir;
    const std::string node = dir.filePath(QStringLiteral("node")).toStdString();
    std::ofstream(node) << "";
    EXPECT_EQ(serialline::deviceGroup(node), ::getgrgid(::getegid())->gr_name);
    EXPECT_EQ(serialline::deviceGroup(dir.filePath(QStringLiteral("missing")).toStdString()), "");
}

TEST(PortList, StableLinksAreFoundByTheirTarget) {
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    std::filesystem::create_directories(root / "dev" / "serial" / "by-id");
    std::ofstream(root / "dev" / "ttyUSB3") << "";
    std::filesystem::create_symlink("../../ttyUSB3", root / "dev/serial/by-id/usb-FTDI_X-port0");
    EXPECT_EQ(stableLinks((root / "dev/serial/by-id").string()),
              (std::map<std::string, std::string>{
                  {root / "dev/ttyUSB3", root / "dev/serial/by-id/usb-FTDI_X-port0"}}));
    EXPECT_TRUE(stableLinks((root / "nothing").string()).empty());
}

TEST(PortList, ShowsEachPortAndTheComMapping) {
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    const std::vector<DetectedPort> detected{
        {"/dev/ttyS0", "", "", "", "", std::nullopt, std::nullopt},
        {"/dev/ttyUSB0", byId, "FT232R USB UART", "FTDI", "A5", 0x0403, 0x6001}};
    const std::array<ComMapping, 4> coms{
        {{byId, true}, {"/dev/ttyS1", false}, {"rfc2217://rack:4001", true}, {"/tmp/tty", true}}};
    const std::string list = "Serial ports found:\n/dev/ttyS0\n/dev/ttyUSB0\n  by-id          " +
                             byId +
                             "\n  description    FT232R USB UART\n  manufacturer   FTDI\n"
                             "  VID:PID        0403:6001\n  serial number  A5\n\n"
                             "COM1 to COM4 (settings section PortNames):\nCOM1  " +
                             byId +
                             ": FT232R USB UART (FTDI)  [PortNames]\n"
                             "COM2  /dev/ttyS1: not detected  [default]\n"
                             "COM3  rfc2217://rack:4001: a port on the network  [PortNames]\n"
                             "COM4  /tmp/tty: not detected  [PortNames]\n";
    EXPECT_EQ(portListText(detected, coms), list + text::NetworkPortsNote);
    EXPECT_TRUE(portListText({}, coms).starts_with(
        "Serial ports found:\nNo serial ports were found on this machine."));
    EXPECT_EQ(portCandidates(detected), std::string(text::CandidatesHeading) +
                                            "  /dev/ttyS0  serial port /dev/ttyS0\n"
                                            "  /dev/ttyUSB0  FT232R USB UART (FTDI) " +
                                            byId + "\n");
}

using enum ExitCode;

// The verdict from what held: mark is needed by both kinds of download,
// even by the Tracker's only.
TEST(PortCheck, VerdictFollowsWhatHeld) {
    const std::tuple<std::vector<bool>, const char*, ExitCode> cases[] = {
        // 9600 M, 9600 E, 38400 M, 38400 E
        {{true, true, true, true}, text::CheckVerdictGood, Complete},
        {{true, true, true, false}, text::CheckTrackerFails, PortError},
        {{false, true, false, true}, text::CheckNeitherWorks, PortError},
    };
    for (const auto& [holds, verdict, code] : cases) {
        CheckReport report{"/dev/ttyUSB0", false, false, {}};
        const std::vector<LineConfig> settings = checkedSettings();
        ASSERT_EQ(settings.size(), holds.size());
        for (size_t i = 0; i < settings.size(); ++i) {
            report.rows.push_back({settings[i], true, "", "x", holds[i]});
        }
        const std::string text = checkReportText(report);
        EXPECT_TRUE(text.ends_with(verdict)) << text;
        EXPECT_FALSE(contains(text, "pseudo-terminal"));
        EXPECT_EQ(checkExitCode(report), code);
    }
}

// quill-cli itself: each command, how it ends and what it says; the check
// on a pseudo-terminal gives the line back as it was.
TEST(PortCommands, EndToEnd) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const std::string dev = pty.slavePath();
    const termios before = pty.slaveTermios();
    // quill-cli gets a home of its own, with COM2 in its settings; the
    // history row of the port it cannot open stays there too. Without the
    // XDG folders, every one of them is its default under that home.
    QTemporaryDir home;
    const std::string config = home.path().toStdString() + "/.config/quill";
    std::filesystem::create_directories(config);
    std::ofstream(config + "/quill.ini") << "[PortNames]\nCOM2=" << dev << "\n";
    // Whole firmware: the file is checked before any port is touched.
    const std::string firmware = home.path().toStdString() + "/a.hex";
    std::ofstream(firmware) << ":00000001FF\r\n";
    const struct {
        std::string args;
        ExitCode code;
        std::vector<std::string> out, err;
    } cases[] = {
        {"--check-port " + dev,
         Complete,
         {"setting       accepted  read back\n9600,M,8,1    yes       9600,M,8,1\n"
          "9600,E,8,1    yes       9600,E/N,8,1\n38400,M,8,1   yes       38400,M,8,1\n"
          "38400,E,8,1   yes       38400,E/N,8,1\n" +
          dev + text::CheckPseudoTerminal + text::CheckVerdictGood},
         {}},
        {"--check-port com2", Complete, {text::CheckHeading + dev}, {}},
        {"--check-port /nowhere/tty",
         PortError,
         {},
         {"quill-cli: Cannot open /nowhere/tty: the port does not exist.\n", "Serial ports"}},
        {"--list-ports",
         Complete,
         {text::PortsHeading, "COM2  " + dev + ": not detected  [PortNames]\n", "COM3  /dev/ttyS2"},
         {}},
        {"-p /nowhere/tty -b9600 -y " + firmware,
         PortError,
         {},
         {"Cannot open /nowhere/tty: the port does not exist.\n", "Serial ports"}},
    };
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    for (const char* folder :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
        env.remove(QLatin1String(folder));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QUILL_CLI), QString::fromStdString(c.args).split(u' '));
        ASSERT_TRUE(p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit);
        const std::string out = p.readAllStandardOutput().toStdString();
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(p.exitCode(), toInt(c.code)) << err;
        for (const std::string& part : c.out) {
            EXPECT_TRUE(contains(out, part)) << part << " not in:\n" << out;
        }
        for (const std::string& part : c.err) {
            EXPECT_TRUE(contains(err, part)) << part << " not in:\n" << err;
        }
        EXPECT_FALSE(contains(err, "COM1 (")) << err;
    }
    const termios after = pty.slaveTermios();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

} // namespace
} // namespace quill::cli
