#include "master/master_files.h"

#include <gtest/gtest.h>

#include "core/encoding.h"
#include "fakes/fakes.h"
#include "master/temp_folder.h"

namespace velmora::test {
namespace {

struct MasterFiles : ::testing::Test {
    TempFolder dir;
    FakeConsole f;
    Grid& cars() { return f.st().Frm_Car.grid; }
    Grid& courses() { return f.st().Frm_Course.grid; }
    Grid& drivers() { return f.st().Frm_Drivers.grid; }

    void SetUp() override { f.console.paths = Paths::InFolder(dir.str()); }
    // Master files are CP932 on disk.
    void Put(const std::string& path, const std::string& utf8) {
        WriteBytes(path, Utf8ToCp932(utf8));
    }
    std::string Get(const std::string& path) { return Cp932ToUtf8(ReadBytes(path)); }
};

TEST_F(MasterFiles, CarsFillTheGridAndEveryPanelsList) {
    Put(f.console.paths.CarFilePath, "スイフト,佐藤,40,5\r\nKei,Bob,30.50,12.50\r\n");
    ASSERT_TRUE(LoadCarList(f.console, false));
    EXPECT_EQ(cars().RowCount(), kMasterRows);
    EXPECT_EQ(cars().Cell(1, 1), "スイフト");
    EXPECT_EQ(cars().Cell(1, 2), "佐藤");
    EXPECT_EQ(cars().Cell(2, 3), "30.5");
    EXPECT_EQ(cars().Cell(2, 4), "12.5");
    EXPECT_EQ(cars().Cell(3, 1), "");
    EXPECT_EQ(cars().ActiveRow(), 1);
    EXPECT_EQ(cars().ActiveCol(), 1);
    for (const PanelState& p : f.st().panels) {
        ASSERT_EQ(p.Cmb_Car.items.size(), 2u);
        EXPECT_EQ(p.Cmb_Car.items[0], "スイフト\t40\t5");
        EXPECT_EQ(p.Cmb_Car.items[1], "Kei\t30.5\t12.5");
        EXPECT_EQ(p.Cmb_Car.listIndex, -1);
    }
}

TEST_F(MasterFiles, GridOnlyLeavesTheListsAndTheirChoice) {
    Put(f.console.paths.CarFilePath, "A,o,40,5\r\n");
    ASSERT_TRUE(LoadCarList(f.console, false));
    f.panel(0).Cmb_Car.Select(0);
    Put(f.console.paths.CarFilePath, "B,o,50,6\r\n");
    ASSERT_TRUE(LoadCarList(f.console, true));
    EXPECT_EQ(cars().Cell(1, 1), "B");
    EXPECT_EQ(f.panel(0).Cmb_Car.items, std::vector<std::string>{"A\t40\t5"});
    EXPECT_EQ(f.panel(0).Cmb_Car.listIndex, 0);

    ASSERT_TRUE(LoadCarList(f.console, false));
    EXPECT_EQ(f.panel(0).Cmb_Car.items, std::vector<std::string>{"B\t50\t6"});
    EXPECT_EQ(f.panel(0).Cmb_Car.listIndex, -1);
}

TEST_F(MasterFiles, CoursesShowTheirLengthAndFeedTheFuelLength) {
    Put(f.console.paths.CourseFilePath, "X,1200\r\nOval,2.5\r\n");
    ASSERT_TRUE(LoadCourseList(f.console, false));
    ComboBox& list = f.st().main.Cmb_Course;
    ASSERT_EQ(list.items.size(), 2u);
    EXPECT_EQ(list.items[0], "X(1200m)\t1200");
    EXPECT_EQ(list.items[1], "Oval(2m)\t2");
    EXPECT_EQ(courses().Cell(1, 2), "1200");

    list.back = BlinkColour;
    TakeSelectedCourse(f.console);
    EXPECT_EQ(f.st().SelectedCourseLength, 0);
    EXPECT_EQ(list.back, White);
    list.Select(0);
    EXPECT_EQ(list.text, "X(1200m)");
    TakeSelectedCourse(f.console);
    EXPECT_EQ(f.st().SelectedCourseLength, 1200);
}

TEST_F(MasterFiles, DriversGoToThePanelsTheirTargetNames) {
    Put(f.console.paths.DriverFilePath,
        "All,全車\r\nTwo,２号車\r\nFour,４号車\r\nFive,５号車\r\nOdd,2号車\r\nOne,１号車\r\n");
    ASSERT_TRUE(LoadDriverList(f.console, false));
    EXPECT_EQ(f.panel(0).Cmb_Driver.items, (std::vector<std::string>{"All", "One"}));
    EXPECT_EQ(f.panel(1).Cmb_Driver.items, (std::vector<std::string>{"All", "Two"}));
    EXPECT_EQ(f.panel(2).Cmb_Driver.items, (std::vector<std::string>{"All"}));
    // Every driver still shows in the editor.
    EXPECT_EQ(drivers().Cell(3, 1), "Four");
    EXPECT_EQ(drivers().Cell(5, 2), "2号車");
    EXPECT_EQ(drivers().Cell(6, 1), "One");
}

TEST_F(MasterFiles, MissingFilesAreCreatedEmpty) {
    ASSERT_TRUE(LoadCarList(f.console, false));
    ASSERT_TRUE(LoadCourseList(f.console, false));
    ASSERT_TRUE(LoadDriverList(f.console, false));
    for (const std::string& p : {f.console.paths.CarFilePath, f.console.paths.CourseFilePath,
                                 f.console.paths.DriverFilePath}) {
        EXPECT_TRUE(std::filesystem::exists(p)) << p;
        EXPECT_EQ(ReadBytes(p), "") << p;
    }
    EXPECT_EQ(cars().RowCount(), kMasterRows);
    EXPECT_TRUE(f.panel(0).Cmb_Car.items.empty());
}

TEST_F(MasterFiles, UnreadableFilesReportAndLeaveEmptyLists) {
    f.panel(0).Cmb_Car.AddItem("old\t1\t1");
    cars().SetCell(1, 1, "old");
    // A folder where the file should be, and a file inside a folder that does not exist.
    std::filesystem::create_directory(f.console.paths.CarFilePath);
    std::string error;
    EXPECT_FALSE(LoadCarList(f.console, false, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(f.panel(0).Cmb_Car.items.empty());
    EXPECT_EQ(cars().Cell(1, 1), "");

    f.console.paths.CourseFilePath = dir.File("missing/Course.ini");
    error.clear();
    EXPECT_FALSE(LoadCourseList(f.console, false, &error));
    EXPECT_FALSE(error.empty());
}

struct BrokenCase {
    const char* name;
    std::string file;
    std::vector<std::vector<std::string>> rows;  // expected grid rows (4 columns)
};

class BrokenCarFiles : public MasterFiles, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenCarFiles, LoadWhatCanBeRead) {
    const BrokenCase& k = GetParam();
    Put(f.console.paths.CarFilePath, k.file);
    ASSERT_TRUE(LoadCarList(f.console, false)) << k.name;
    for (std::size_t r = 0; r < k.rows.size(); ++r)
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(cars().Cell(static_cast<int>(r) + 1, c), k.rows[r][c - 1])
                << k.name << " row " << r + 1 << " col " << c;
    EXPECT_EQ(cars().Cell(static_cast<int>(k.rows.size()) + 1, 1), "") << k.name;
    EXPECT_EQ(f.panel(2).Cmb_Car.items.size(), k.rows.size()) << k.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenCarFiles,
    ::testing::Values(
        BrokenCase{"blank lines",
                   "\r\nA,o,40,5\r\n\r\n\r\nB,p,30,4\r\n\r\n",
                   {{"A", "o", "40", "5"}, {"B", "p", "30", "4"}}},
        BrokenCase{"fields across lines",
                   "A,o\r\n40,5\r\nB,p,30,4",
                   {{"A", "o", "40", "5"}, {"B", "p", "30", "4"}}},
        BrokenCase{"too few at the end", "A,o,40", {{"A", "o", "40", "0"}}},
        BrokenCase{"non-numeric numbers", "A,o,lots,12km\r\n", {{"A", "o", "0", "12"}}},
        BrokenCase{"empty numbers", "A,o,,\r\n", {{"A", "o", "0", "0"}}},
        BrokenCase{"quoted name", "\"A,1\",o,40,5\r\n", {{"A,1", "o", "40", "5"}}},
        BrokenCase{"nameless record dropped", ",o,40,5\r\nB,p,30,4\r\n", {{"B", "p", "30", "4"}}},
        BrokenCase{
            "lf only", "A,o,40,5\nB,p,30,4\n", {{"A", "o", "40", "5"}, {"B", "p", "30", "4"}}}));

TEST_F(MasterFiles, HugeFilesStopAtFiftyRecords) {
    std::string text;
    for (int i = 1; i <= 10000; ++i) text += "D" + std::to_string(i) + ",全車\r\n";
    Put(f.console.paths.DriverFilePath, text);
    ASSERT_TRUE(LoadDriverList(f.console, false));
    EXPECT_EQ(drivers().RowCount(), kMasterRows);
    EXPECT_EQ(drivers().Cell(50, 1), "D50");
    EXPECT_EQ(f.panel(0).Cmb_Driver.items.size(), 50u);
    EXPECT_EQ(f.panel(0).Cmb_Driver.items.back(), "D50");
}

TEST_F(MasterFiles, BinaryJunkLoadsWithoutStalling) {
    std::string junk;
    for (int i = 0; i < 100000; ++i) junk.push_back(static_cast<char>((i * 131) % 256));
    WriteBytes(f.console.paths.CarFilePath, junk);
    WriteBytes(f.console.paths.CourseFilePath, junk);
    EXPECT_TRUE(LoadCarList(f.console, false));
    EXPECT_TRUE(LoadCourseList(f.console, false));
    EXPECT_LE(f.panel(0).Cmb_Car.items.size(), 50u);
    EXPECT_LE(f.st().main.Cmb_Course.items.size(), 50u);
}

TEST_F(MasterFiles, SavingCleansEveryCell) {
    const char* carRows[][4] = {{"A,B", " Ann ", "1,200", "12.50"},
                                {"  ", "ghost", "40", "5"},
                                {" Kei ", "own,er", "abc", "-2.5x"},
                                {"Line\r\nbreak", "", "0.5", ""}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) cars().SetCell(r + 1, c + 1, carRows[r][c]);
    cars().SetCell(20, 1, "Last");  // gaps in the grid disappear from the file
    ASSERT_TRUE(SaveCarList(f.console));
    EXPECT_EQ(ReadBytes(f.console.paths.CarFilePath),
              "A B,Ann,1,12.5\r\nKei,own er,0,-2.5\r\nLine  break,,0.5,0\r\nLast,,0,0\r\n");

    const char* courseRows[][2] = {{"X", "1,200"}, {"Half", "2.5"}, {"Up", "3.5"}, {"N,W", "x"}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 2; ++c) courses().SetCell(r + 1, c + 1, courseRows[r][c]);
    ASSERT_TRUE(SaveCourseList(f.console));
    EXPECT_EQ(ReadBytes(f.console.paths.CourseFilePath), "X,1200\r\nHalf,2\r\nUp,4\r\nN W,0\r\n");

    drivers().SetCell(1, 1, "佐藤");
    drivers().SetCell(1, 2, "全車");
    drivers().SetCell(2, 1, " Kato ");
    drivers().SetCell(2, 2, " １号車,");
    ASSERT_TRUE(SaveDriverList(f.console));
    EXPECT_EQ(Get(f.console.paths.DriverFilePath), "佐藤,全車\r\nKato, １号車 \r\n");
    EXPECT_EQ(ReadBytes(f.console.paths.DriverFilePath).substr(0, 4), "\x8d\xb2\x93\xa1");
}

TEST_F(MasterFiles, AnEmptyGridWritesAnEmptyFile) {
    WriteBytes(f.console.paths.CourseFilePath, "old,1\r\n");
    ASSERT_TRUE(SaveCourseList(f.console));
    EXPECT_EQ(ReadBytes(f.console.paths.CourseFilePath), "");
}

TEST_F(MasterFiles, SavedFilesLoadBackUnchanged) {
    Put(f.console.paths.CarFilePath, "スイフト,佐藤,40,5\r\nKei,Bob,30.5,12.5\r\n");
    ASSERT_TRUE(LoadCarList(f.console, true));
    ASSERT_TRUE(SaveCarList(f.console));
    EXPECT_EQ(Get(f.console.paths.CarFilePath), "スイフト,佐藤,40,5\r\nKei,Bob,30.5,12.5\r\n");
}

TEST_F(MasterFiles, AFailedSaveLeavesFileAndGridAlone) {
    f.console.paths.DriverFilePath = dir.File("gone/Drivers.ini");
    drivers().SetCell(1, 1, "Kept");
    std::string error;
    EXPECT_FALSE(SaveDriverList(f.console, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(drivers().Cell(1, 1), "Kept");
    EXPECT_FALSE(std::filesystem::exists(f.console.paths.DriverFilePath));
}

}  // namespace
}  // namespace velmora::test
