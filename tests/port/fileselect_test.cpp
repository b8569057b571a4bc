// Choosing the hex file in the Open dialog or by dropping it on the window:
// what is open afterwards, what the status bar shows and whether "Start
// Download" may be pressed.

#include "hexfile/fileselect.h"
#include "hexfile/hexfiletexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

struct FakeFileDialog final : FileDialog {
    std::optional<std::string> answer; // nothing: the user cancels
    std::string filter;
    int filterIndex = 0;
    int flags = 0;
    int shows = 0;
    void setFilter(const std::string& f) override { filter = f; }
    void setFilterIndex(int index) override { filterIndex = index; }
    void setFlags(int f) override { flags = f; }
    std::optional<std::string> ShowOpen() override {
        ++shows;
        return answer;
    }
};

const std::string firstLine = ":0400000001020304F2";
const std::string content = firstLine + "\r\n:00000001FF\r\n";

class FileChoice : public ::testing::Test {
  protected:
    void choose(const std::string& path) {
        dialog.answer = path;
        mnuFileOpen_Click(world.context, dialog);
    }
    void drop(std::vector<std::string> files) { Form_OLEDragDrop(world.context, files); }
    std::string panel2() { return world.form.panelText[2]; }

    SimWorld world;
    FakeFileDialog dialog;
    std::string a = world.dir.write("a.hex", content);
    std::string b = world.dir.write("b.bin", content);
    std::string missing = (world.dir.path() / "missing.hex").string();
};

TEST_F(FileChoice, DialogChoiceWhilePortClosedShowsThePathButKeepsStartDisabled) {
    choose(a);
    EXPECT_EQ(dialog.filter, "Hex files (*.hex)|*.hex|All files (*.*)|*.*");
    EXPECT_EQ(dialog.filterIndex, 1);
    EXPECT_EQ(dialog.flags, 0x1001);
    EXPECT_EQ(world.m.hex_file_name, a);
    EXPECT_FALSE(world.m.hex_file_open);
    EXPECT_FALSE(world.file.isOpen()); // opened only when the download starts
    EXPECT_FALSE(world.form.cmdStartEnabled);
    EXPECT_EQ(world.form.cmdStartFocus, 0);
    EXPECT_EQ(panel2(), a + "    ");
    EXPECT_EQ(world.form.panelMinWidth[2], 25);
}

TEST_F(FileChoice, DialogChoiceWithPortOpenEnablesStartAndFocusesIt) {
    world.setUpPort(9600, device_manual);
    choose(b); // any extension, through "All files (*.*)"
    EXPECT_EQ(world.m.hex_file_name, b);
    EXPECT_TRUE(world.form.cmdStartEnabled);
    EXPECT_EQ(world.form.cmdStartFocus, 1);
}

TEST_F(FileChoice, SecondChoiceClosesTheOpenFileWithoutOpeningTheNewOne) {
    drop({a});
    ASSERT_TRUE(world.file.isOpen());
    choose(b);
    EXPECT_FALSE(world.file.isOpen());
    EXPECT_FALSE(world.m.hex_file_open);
    EXPECT_EQ(world.m.hex_file_name, b);
}

TEST_F(FileChoice, CancelledDialogChangesNothing) {
    world.setUpPort(9600, device_manual);
    drop({a});
    dialog.answer.reset();
    mnuFileOpen_Click(world.context, dialog);
    EXPECT_EQ(dialog.shows, 1);
    EXPECT_EQ(world.m.hex_file_name, a);
    EXPECT_TRUE(world.m.hex_file_open);
    EXPECT_TRUE(world.file.isOpen());
    EXPECT_TRUE(world.form.cmdStartEnabled);
    EXPECT_EQ(panel2(), a + "    ");
}

TEST_F(FileChoice, DroppedFileIsOpenedAtItsStartAndChosenLikeTheDialogs) {
    world.setUpPort(9600, device_manual);
    drop({a});
    EXPECT_TRUE(world.m.hex_file_open);
    EXPECT_EQ(world.m.hex_file_name, a);
    EXPECT_TRUE(world.form.cmdStartEnabled);
    EXPECT_EQ(world.form.cmdStartFocus, 1);
    EXPECT_EQ(panel2(), a + "    ");
    EXPECT_EQ(world.form.panelMinWidth[2], 25);
    std::string line;
    ASSERT_TRUE(world.file.readLine(line));
    EXPECT_EQ(line, firstLine);
    EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(FileChoice, DropWhilePortClosedOpensTheFileButKeepsStartDisabled) {
    drop({a});
    EXPECT_TRUE(world.file.isOpen());
    EXPECT_FALSE(world.form.cmdStartEnabled);
    EXPECT_EQ(panel2(), a + "    ");
}

TEST_F(FileChoice, MissingDroppedFileReportsAndChangesNothingElse) {
    world.setUpPort(9600, device_manual);
    choose(a);
    drop({missing});
    EXPECT_EQ(world.boxes.texts(), (std::vector<std::string>{"Open file error"}));
    EXPECT_EQ(world.m.hex_file_name, a);
    EXPECT_FALSE(world.m.hex_file_open);
    EXPECT_TRUE(world.form.cmdStartEnabled);
    EXPECT_EQ(world.form.cmdStartFocus, 1);
    EXPECT_EQ(panel2(), a + "    ");
}

TEST_F(FileChoice, OnlyTheFirstDroppedFileCountsAndAnEmptyDropDoesNothing) {
    drop({b, a});
    EXPECT_EQ(world.m.hex_file_name, b);
    EXPECT_EQ(panel2(), b + "    ");

    drop({});
    EXPECT_EQ(world.m.hex_file_name, b);
    EXPECT_TRUE(world.file.isOpen());
    EXPECT_TRUE(world.boxes.shown().empty());
}

} // namespace
} // namespace quill::sim
