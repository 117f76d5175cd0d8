#include "master/editors.h"

#include <gtest/gtest.h>

#include "core/encoding.h"
#include "fakes/fakes.h"
#include "master/master_files.h"
#include "master/temp_folder.h"

namespace velmora::test {
namespace {

struct Editors : ::testing::Test {
    TempFolder dir;
    FakeConsole f;
    void SetUp() override { f.console.paths = Paths::InFolder(dir.str()); }
    Grid& grid(Editor e) { return EditorOverlay(f.st(), e).grid; }
    bool ConsoleEnabled() {
        bool on = f.st().main.Frm_Main.enabled;
        for (const PanelState& p : f.st().panels) EXPECT_EQ(p.Frm_Runner.enabled, on);
        return on;
    }
};

TEST_F(Editors, OpeningReloadsTheGridAndLocksTheConsole) {
    struct Case {
        Editor e;
        const char* grid;
    };
    for (const Case& k : {Case{Editor::Car, "Spd_Car"}, Case{Editor::Course, "Spd_Course"},
                          Case{Editor::Drivers, "Spd_Drivers"}}) {
        ASSERT_TRUE(OpenEditor(f.console, k.e)) << k.grid;
        EXPECT_TRUE(EditorOverlay(f.st(), k.e).frame.visible) << k.grid;
        EXPECT_FALSE(ConsoleEnabled()) << k.grid;
        EXPECT_EQ(f.st().focusRequest, k.grid);
        EXPECT_EQ(grid(k.e).RowCount(), kMasterRows);
        CancelEditor(f.console, k.e);
        EXPECT_FALSE(EditorOverlay(f.st(), k.e).frame.visible) << k.grid;
        EXPECT_TRUE(ConsoleEnabled()) << k.grid;
    }
}

TEST_F(Editors, CancelledEditsAreGoneAtTheNextOpening) {
    WriteBytes(f.console.paths.CarFilePath, "A,o,40,5\r\n");
    ASSERT_TRUE(OpenEditor(f.console, Editor::Car));
    grid(Editor::Car).SetCell(2, 1, "New");
    CancelEditor(f.console, Editor::Car);
    EXPECT_EQ(grid(Editor::Car).Cell(2, 1), "New");  // kept until the next opening
    ASSERT_TRUE(OpenEditor(f.console, Editor::Car));
    EXPECT_EQ(grid(Editor::Car).Cell(1, 1), "A");
    EXPECT_EQ(grid(Editor::Car).Cell(2, 1), "");
    EXPECT_TRUE(f.panel(0).Cmb_Car.items.empty());  // the lists are not touched by opening
}

TEST_F(Editors, DeletingTheMiddleRowMovesTheRestUp) {
    WriteBytes(f.console.paths.CourseFilePath, "One,100\r\nTwo,200\r\nThree,300\r\n");
    ASSERT_TRUE(OpenEditor(f.console, Editor::Course));
    grid(Editor::Course).SetActiveCell(2, 3);
    DeleteEditorRow(f.console, Editor::Course, 2);
    Grid& g = grid(Editor::Course);
    EXPECT_EQ(g.Cell(1, 1), "One");
    EXPECT_EQ(g.Cell(2, 1), "Three");
    EXPECT_EQ(g.Cell(2, 2), "300");
    EXPECT_EQ(g.Cell(3, 1), "");
    EXPECT_EQ(g.RowCount(), kMasterRows);
    EXPECT_EQ(g.ActiveRow(), 1);
    EXPECT_EQ(g.ActiveCol(), 1);
    EXPECT_EQ(g.Cell(0, 1), "コース名");  // the header row is never deleted
    DeleteEditorRow(f.console, Editor::Course, 0);
    DeleteEditorRow(f.console, Editor::Course, 51);
    EXPECT_EQ(g.Cell(0, 1), "コース名");
    EXPECT_EQ(g.RowCount(), kMasterRows);

    ASSERT_TRUE(ConfirmEditor(f.console, Editor::Course));
    EXPECT_EQ(ReadBytes(f.console.paths.CourseFilePath), "One,100\r\nThree,300\r\n");
}

TEST_F(Editors, OkSavesRebuildsTheListsAndUnlocks) {
    f.st().SelectedCourseLength = 777;
    WriteBytes(f.console.paths.CourseFilePath, "Old,100\r\n");
    ASSERT_TRUE(LoadCourseList(f.console, false));
    f.st().main.Cmb_Course.Select(0);
    ASSERT_TRUE(OpenEditor(f.console, Editor::Course));
    grid(Editor::Course).SetCell(2, 1, "X");
    grid(Editor::Course).SetCell(2, 2, "1,200");
    grid(Editor::Course).SetCell(3, 2, "999");  // no name: not written
    ASSERT_TRUE(ConfirmEditor(f.console, Editor::Course));

    EXPECT_FALSE(EditorOverlay(f.st(), Editor::Course).frame.visible);
    EXPECT_TRUE(ConsoleEnabled());
    const ComboBox& list = f.st().main.Cmb_Course;
    EXPECT_EQ(list.items, (std::vector<std::string>{"Old(100m)\t100", "X(1200m)\t1200"}));
    EXPECT_EQ(list.listIndex, -1);
    EXPECT_EQ(f.st().SelectedCourseLength, 777);  // until the list next loses focus
    EXPECT_EQ(ReadBytes(f.console.paths.CourseFilePath), "Old,100\r\nX,1200\r\n");
}

TEST_F(Editors, OkInTheCarAndDriverEditorsClearsEveryPanelsChoice) {
    ASSERT_TRUE(OpenEditor(f.console, Editor::Car));
    grid(Editor::Car).SetCell(1, 1, "Swift");
    grid(Editor::Car).SetCell(1, 3, "40");
    ASSERT_TRUE(ConfirmEditor(f.console, Editor::Car));
    f.panel(1).Cmb_Car.Select(0);
    ASSERT_TRUE(OpenEditor(f.console, Editor::Car));
    ASSERT_TRUE(ConfirmEditor(f.console, Editor::Car));
    for (const PanelState& p : f.st().panels) {
        EXPECT_EQ(p.Cmb_Car.items, std::vector<std::string>{"Swift\t40\t0"});
        EXPECT_EQ(p.Cmb_Car.listIndex, -1);
    }

    ASSERT_TRUE(OpenEditor(f.console, Editor::Drivers));
    grid(Editor::Drivers).SetCell(1, 1, "Aoki");
    grid(Editor::Drivers).SetCell(1, 2, std::string(kDriverTargets[3]));
    ASSERT_TRUE(ConfirmEditor(f.console, Editor::Drivers));
    EXPECT_EQ(f.panel(2).Cmb_Driver.items, std::vector<std::string>{"Aoki"});
    EXPECT_TRUE(f.panel(0).Cmb_Driver.items.empty());
}

TEST_F(Editors, AFailedSaveKeepsTheEditorOpenWithItsRows) {
    ASSERT_TRUE(OpenEditor(f.console, Editor::Car));
    grid(Editor::Car).SetCell(1, 1, "Unsaved");
    f.console.paths.CarFilePath = dir.File("gone/Car.ini");
    EXPECT_FALSE(ConfirmEditor(f.console, Editor::Car));
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text.rfind("Car.ini に書き込めません。", 0), 0u);
    EXPECT_GT(f.dialogs.shown[0].text.size(), std::string("Car.ini に書き込めません。").size());
    EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(EditorOverlay(f.st(), Editor::Car).frame.visible);
    EXPECT_FALSE(ConsoleEnabled());
    EXPECT_EQ(grid(Editor::Car).Cell(1, 1), "Unsaved");
}

TEST_F(Editors, AnUnreadableFileKeepsTheEditorClosed) {
    std::filesystem::create_directory(f.console.paths.DriverFilePath);
    EXPECT_FALSE(OpenEditor(f.console, Editor::Drivers));
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text.rfind("Drivers.ini を読み込めません。", 0), 0u);
    EXPECT_FALSE(EditorOverlay(f.st(), Editor::Drivers).frame.visible);
    EXPECT_TRUE(ConsoleEnabled());
}

}  // namespace
}  // namespace velmora::test
