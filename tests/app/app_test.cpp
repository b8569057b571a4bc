// SPDX-License-Identifier: MIT
// quill's own answers on the terminal, with the window's command line left
// alone ("/p N" and everything else must still reach the window); and the
// window icon, from the program's own resources, at every size, reaching the
// windows (a resource left out of the static library, or a size that failed
// to draw, shows as a blank icon only on a real desktop).

#include "app/appicon.h"
#include "app/startoptions.h"
#include "quillversion.h"
#include "shared/module1.h"
#include "ui/frmabout.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <sstream>

namespace quill {
namespace {

// What `parse` makes of a command line, its arguments apart at the spaces.
template <class Parse> auto parsed(const Parse& parse, const char* line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return parse(std::vector<std::string_view>(words.begin(), words.end()));
}

TEST(StartReply, AnswersOnlyAnExactHelpOrVersion) {
    const std::string help = "Usage: quill [/p N]\n";
    const std::string version = std::string("quill ") + QuillVersion + "\n";
    const auto reply = [](const char* line) {
        return parsed([](const auto& words) { return startReply(words); }, line);
    };
    for (const char* line :
         {"", "/p2", "/P 2", "/p1 /p2", "-p1", "--helpme", "-help", "/p--help", "--versions"}) {
        EXPECT_FALSE(reply(line)) << line;
    }
    // Of --help and --version the first wins, as with GNU programs.
    for (const char* line : {"--help", "/p2 --help", "--help --version"}) {
        EXPECT_TRUE(reply(line).value_or("").starts_with(help)) << line;
    }
    for (const char* line : {"--version", "--version --help"}) {
        EXPECT_EQ(reply(line), version) << line;
    }
    EXPECT_EQ(reply("--help").value_or("").back(), '\n');
}

// quill --station: what it chose, each problem said at once, and the main
// window's own command line left to it.
TEST(StationStart, ChoosesPortsLineBatchAndFileOrSaysEveryProblem) {
    const auto start = [](const char* line) {
        return parsed([](const auto& words) { return stationStart(words); }, line);
    };
    EXPECT_FALSE(start("/p 2"));
    EXPECT_FALSE(start("-p COM1 fw.hex"));
    const auto good = start("--station -p COM2 --port /dev/ttyUSB0 -b 9600 -d TRACKER "
                            "--batch lot7 fw.hex");
    ASSERT_TRUE(good && good->problems.empty()) << good->problems;
    EXPECT_EQ(good->given.ports, (std::vector<std::string>{"COM2", "/dev/ttyUSB0"}));
    EXPECT_EQ(good->given.baud, 9600);
    EXPECT_EQ(good->given.device, device_tracker);
    EXPECT_EQ(good->given.batch + " " + good->given.file + " " + good->given.program,
              "lot7 fw.hex quill");
    const auto stored = start("--station"); // everything as stored
    ASSERT_TRUE(stored && stored->problems.empty());
    EXPECT_TRUE(stored->given.ports.empty() && !stored->given.baud && !stored->given.device);
    EXPECT_EQ(start("--station -b 1200 -d fast -x a.hex b.hex")->problems,
              "quill: unknown option -x\n"
              "quill: --baud must be 9600 or 38400, not 1200\n"
              "quill: --device must be manual or tracker, not fast\n"
              "quill: one hex file at most, not 2\n"
              "Try 'quill --help'.\n");
    EXPECT_TRUE(start("--station -h")->help);
}

TEST(AppIcon, EverySizeIsDrawnAndNotBlankAndReachesEveryWindow) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48, 64, 128}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // The chip fills the middle; the corners stay transparent.
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
    // Set once, it reaches every window.
    setApplicationIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.ostrel.Quill"));
    frmAbout about;
    EXPECT_EQ(about.windowIcon().pixmap(48, 48).toImage(), icon.pixmap(48, 48).toImage());
}

} // namespace
} // namespace quill
