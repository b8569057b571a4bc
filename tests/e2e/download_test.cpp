// Whole downloads through real pseudo-terminals: quill-cli against
// quill-devsim, and the image the device rebuilt against the file's data.

#include "processes.h"

#include "cli/clitexts.h"
#include "cli/exitcodes.h"
#include "download/downloadtexts.h"
#include "hexfile/hexfiletexts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>

namespace quill::e2e {
namespace {

// The device answers at once, so a download of 5000 records takes a second.
const std::vector<std::string> fastDevice = {"--record-ack-ms", "0", "--record-write-ms", "0",
                                             "--erase-ms",      "5", "--reboot-ms",       "20",
                                             "--frame-ack-ms",  "1"};

std::vector<std::string> devsimArgs(const std::string& device) {
    std::vector<std::string> args = fastDevice;
    args.insert(args.end(), {"--device", device});
    return args;
}

void expectImage(Devsim& dev, const Bytes& expected) {
    const Bytes image = dev.image();
    EXPECT_EQ(image.size(), expected.size());
    EXPECT_TRUE(image == expected) << "the device's image differs from the file's data";
    // The device heard every byte at the parity it expected.
    const std::string log = dev.log();
    const size_t at = log.find("parity ignored");
    EXPECT_EQ(at, std::string::npos)
        << log.substr(at == std::string::npos || at < 100 ? 0 : at - 100, 400);
}

struct Case {
    const char* device;
    const char* baud;
    bool lf;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.device << ' ' << c.baud << (c.lf ? " LF" : " CR LF");
}

class Download : public ::testing::TestWithParam<Case> {};

TEST_P(Download, DeviceImageEqualsTheFilesData) {
    const Case c = GetParam();
    Scratch s;
    // Over 64 KiB at 0x08000000: extended linear address records (04) and a start address (05).
    const Bytes binary = randomBinary(72 * 1024 + 40, 0x9E3779B9u);
    writeFile(s.path("app.bin"), binary);
    binaryToHex(s.path("app.bin"), s.path("app.hex"));
    std::string hex = s.path("app.hex");
    if (c.lf) {
        toLf(hex, s.path("app-lf.hex"));
        hex = s.path("app-lf.hex");
    }
    const Bytes file = readFile(hex);
    const std::string text(file.begin(), file.end());
    ASSERT_TRUE(contains(text, ":020000040801") && contains(text, ":04000005"));
    ASSERT_EQ(contains(text, "\r\n"), !c.lf);

    Devsim dev(s, devsimArgs(c.device));
    const Result r =
        runCli(s, {"--port", dev.pty(), "--baud", c.baud, "--device", c.device, "--yes", hex});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.err, quill::text::DownloadComplete)) << r.err;
    EXPECT_TRUE(contains(r.err, "100%  ")) << r.err; // the last of the plain progress lines
    EXPECT_EQ(referenceImage(s, hex), binary);
    expectImage(dev, binary);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, Download,
    ::testing::Values(Case{"manual", "9600", false}, Case{"manual", "9600", true},
                      Case{"manual", "38400", false}, Case{"manual", "38400", true},
                      Case{"tracker", "9600", false}, Case{"tracker", "9600", true},
                      Case{"tracker", "38400", false}, Case{"tracker", "38400", true}),
    [](const auto& info) {
        return std::string(info.param.device) + info.param.baud + (info.param.lf ? "Lf" : "CrLf");
    });

// The code of a real executable: quill-cli's own, over 64 KiB.
TEST(E2e, RealExecutableTextSection) {
    Scratch s;
    textSectionToHex(QUILL_CLI, s.path("text.hex"));
    const Bytes file = readFile(s.path("text.hex"));
    ASSERT_TRUE(contains(std::string(file.begin(), file.end()), ":020000040801"));
    Devsim dev(s, devsimArgs("manual"));
    const Result r = runCli(s, {"--port", dev.pty(), "--baud", "38400", "--device", "manual",
                                "--yes", s.path("text.hex")});
    EXPECT_EQ(r.code, 0) << r.err;
    expectImage(dev, referenceImage(s, s.path("text.hex")));
}

// Port, baud rate and device come from the window program's store, where
// the port's device is named under "PortNames"; the store is not written.
TEST(E2e, DefaultsFromTheStoredSettings) {
    Scratch s;
    Devsim dev(s, devsimArgs("tracker"));
    const std::string ini = s.configHome() + "/quill/quill.ini";
    std::filesystem::create_directories(s.configHome() + "/quill");
    const std::string settings = "[Port]\nCOM=2\nBAUD=38400\n[Option]\nDEVICE=1\n"
                                 "[PortNames]\nCOM2=" +
                                 dev.pty() + "\n";
    writeFile(ini, Bytes(settings.begin(), settings.end()));
    const Result r = runCli(s, {QUILL_SAMPLE_HEX});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "Tracker")) << r.err;
    expectImage(dev, referenceImage(s, QUILL_SAMPLE_HEX));
    const Bytes after = readFile(ini);
    EXPECT_EQ(std::string(after.begin(), after.end()), settings);
}

// The Manual prompt typed on a terminal: y goes on, n stops before a byte is sent.
TEST(E2e, PromptAnsweredOnTheTerminal) {
    for (const bool yes : {true, false}) {
        Scratch s;
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
        const std::string terminal = ::ptsname(master);
        const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        ASSERT_EQ(::write(master, yes ? "y\n" : "n\n", 2), 2);

        Devsim dev(s, devsimArgs("manual"));
        const Result r =
            runCli(s, {"--port", dev.pty(), "--baud", "9600", QUILL_SAMPLE_HEX}, terminal);
        ::close(slave);
        ::close(master);
        const std::string prompt = quill::text::PrepareDevice + std::string("9600");
        EXPECT_TRUE(contains(r.err, prompt + cli::text::PromptChoices)) << r.err;
        if (yes) {
            EXPECT_EQ(r.code, 0) << r.err;
            expectImage(dev, referenceImage(s, QUILL_SAMPLE_HEX));
        } else {
            EXPECT_EQ(r.code, cli::toInt(cli::ExitCode::Cancelled)) << r.err;
            EXPECT_EQ(dev.hostLines(), 0);
        }
    }
}

} // namespace
} // namespace quill::e2e
