// SPDX-License-Identifier: MIT
// Choosing the hex file in the Open dialog or by dropping it on the window:
// what is open afterwards, what the status bar shows and whether "Start
// Download" may be pressed.

#include "download/downloadtexts.h"
#include "hexfile/fileselect.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quill::sim {
namespace {

struct FakeFileDialog final : FileDialog {
    std::optional<std::string> answer; // nothing: the user cancels
    std::string filter;
    int filterIndex = 0, flags = 0;
    void setFilter(const std::string& f) override { filter = f; }
    void setFilterIndex(int index) override { filterIndex = index; }
    void setFlags(int f) override { flags = f; }
    std::optional<std::string> ShowOpen() override { return answer; }
};

class FileChoice : public ::testing::Test {
  protected:
    void choose(std::optional<std::string> path) {
        dialog.answer = std::move(path);
        mnuFileOpen_Click(world.context, dialog);
    }
    void drop(std::vector<std::string> files) { Form_OLEDragDrop(world.context, files); }
    // hex_file_name, hex_file_open, the file really open, "Start Download"
    // enabled, the times it got the focus, panel 2.
    auto state() {
        return std::tuple(world.m.hex_file_name, world.m.hex_file_open, world.file.isOpen(),
                          world.form.cmdStartEnabled, world.form.cmdStartFocus,
                          world.form.panelText[2]);
    }

    SimWorld world;
    FakeFileDialog dialog;
    std::string a = world.dir.write("a.hex", ":00000001FF\r\n");
    std::string b = world.dir.write("b.bin", ":00000001FF\r\n"); // any extension
};

TEST_F(FileChoice, ChoiceNamesTheFileAndEnablesStartOnlyWithThePortOpen) {
    choose(a);
    EXPECT_EQ(std::tuple(dialog.filter, dialog.filterIndex, dialog.flags),
              std::tuple("Hex files (*.hex)|*.hex|All files (*.*)|*.*", 1, 0x1001));
    // Not opened here: the download start opens it.
    EXPECT_EQ(state(), std::tuple(a, false, false, false, 0, a + "    "));
    EXPECT_EQ(world.form.panelMinWidth[2], 25);
    drop({b, a}); // only the first counts
    EXPECT_EQ(state(), std::tuple(b, true, true, false, 0, b + "    "));
    drop({});
    EXPECT_EQ(state(), std::tuple(b, true, true, false, 0, b + "    "));

    world.setUpPort(9600, device_manual);
    choose(a); // closes the dropped file
    EXPECT_EQ(state(), std::tuple(a, false, false, true, 1, a + "    "));
}

TEST_F(FileChoice, DroppedFileIsOpenedAndKeptUntilAnotherIsOpened) {
    world.setUpPort(9600, device_manual);
    drop({a});
    EXPECT_EQ(state(), std::tuple(a, true, true, true, 1, a + "    "));
    EXPECT_EQ(world.form.panelMinWidth[2], 25);
    choose(std::nullopt); // cancelled
    EXPECT_EQ(state(), std::tuple(a, true, true, true, 1, a + "    "));
    EXPECT_TRUE(world.boxes.shown().empty());

    drop({(world.dir.path() / "missing.hex").string()});
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{"Open file error"}));
    EXPECT_EQ(state(), std::tuple(a, false, false, true, 1, a + "    "));
}

// A file chosen while a download runs, in the dialog or by a drop, whether
// it opens or not: the download ends first, at once, with nothing more sent
// and a message that says so; then the choice goes on as always. A dialog
// that is cancelled chooses nothing and stops nothing.
TEST_F(FileChoice, ChoiceDuringADownloadStopsItFirst) {
    const std::string rec1 = dataRecord(0x0000, {0x01, 0x02});
    const std::string rec2 = dataRecord(0x0002, {0x03, 0x04});
    const std::string firmware = rec1 + "\r\n" + rec2 + "\r\n:00000001FF\r\n";
    const std::string prompt = "Prepare device for download at 9600\r";
    const std::string missing = (world.dir.path() / "missing.hex").string();
    const struct {
        const char* name;
        bool drop;
        std::optional<std::string> path; // nothing: the dialog is cancelled
        std::vector<std::string> boxes;
        std::string chosen; // hex_file_name afterwards
        bool open;
    } cases[] = {
        {"dialog", false, a, {prompt, text::StoppedForNewChoice}, a, false},
        {"dialog, missing file",
         false,
         missing,
         {prompt, text::StoppedForNewChoice},
         missing,
         false},
        {"drop", true, a, {prompt, text::StoppedForNewChoice}, a, true},
        {"drop, missing file",
         true,
         missing,
         {prompt, text::StoppedForNewChoice, "Open file error"},
         "fw.hex",
         false},
        {"dialog cancelled", false, std::nullopt, {prompt, text::DownloadComplete}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimWorld w;
        w.setUpPort(9600, device_manual);
        w.connect({.recordWriteMs = 100});
        const std::string first = w.chooseFile(firmware);
        w.start();
        ASSERT_TRUE(w.loop.runUntil([&] { return w.recordsSent().size() == 1; }));
        if (c.drop) {
            Form_OLEDragDrop(w.context, {*c.path});
        } else {
            dialog.answer = c.path;
            mnuFileOpen_Click(w.context, dialog);
        }
        w.loop.runAll();

        EXPECT_EQ(w.boxes.texts(), c.boxes);
        if (!c.path) {
            EXPECT_EQ(w.told.ends, std::vector<DownloadEnd>{DownloadEnd::Complete});
            EXPECT_EQ(w.recordsSent().size(), 3u);
            continue;
        }
        EXPECT_EQ(w.told.ends, std::vector<DownloadEnd>{DownloadEnd::Superseded});
        EXPECT_EQ(w.recordsSent(), std::vector<std::string>{rec1}); // never a splice
        EXPECT_FALSE(w.device->sawEndOfFile());
        EXPECT_EQ(w.m.cstate, cs_off);
        EXPECT_FALSE(w.timer.enabled());
        EXPECT_FALSE(w.form.lblMsgVisible || w.form.prbVisible);
        EXPECT_EQ(w.m.hex_file_name, c.chosen == "fw.hex" ? first : c.chosen);
        EXPECT_EQ(w.m.hex_file_open, c.open);
    }
}

} // namespace
} // namespace quill::sim
