// SPDX-License-Identifier: MIT
// Choosing the hex file in the Open dialog or by dropping it on the window:
// what is open afterwards, what the status bar shows and whether "Start
// Download" may be pressed. A choice during a download is a row of the
// conversation table.

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

} // namespace
} // namespace quill::sim
