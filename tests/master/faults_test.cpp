// Master files replaced by garbage while the console runs (another program, a bad copy, a
// disk error): the next load, when an editor opens, must neither crash nor hang, must keep
// the editor's 50-row grid, and must leave the recorded laps and the selection lists alone.
#include <gtest/gtest.h>

#include <random>

#include "core/encoding.h"
#include "fakes/fakes.h"
#include "master/editors.h"
#include "master/master_files.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& ch : s) ch = static_cast<char>(rng() & 0xFF);
    return s;
}

struct Garbage {
    const char* name;
    std::string bytes;
};

std::vector<Garbage> Garbages() {
    return {
        {"random bytes with NULs", RandomBytes(64 * 1024, 1)},
        {"CP932 lead bytes without trail bytes", std::string(4096, '\x82')},
        {"one long line without separators", std::string(200 * 1024, 'A')},
        {"only separators", std::string(20000, ',') + "\r\n\r\n\n\r"},
        {"an unterminated quote", "\"A,o,40,5\r\nB,o,40,5\r\n"},
        {"numbers out of every range", "X,o,1e999,-1e999\r\nY,o,nan,inf\r\n"},
        {"ten thousand records",
         [] {
             std::string s;
             for (int k = 0; k < 10000; ++k) s += "C" + std::to_string(k) + ",o,40,5\r\n";
             return s;
         }()},
    };
}

class MasterGarbage : public ::testing::Test {
  protected:
    void SetUp() override {
        f.console.paths = Paths::InFolder(dir.str());
        WriteBytes(f.console.paths.CarFilePath, Utf8ToCp932("赤,鈴木,40,12.5\r\n"));
        ASSERT_TRUE(LoadCarList(f.console, false));
        // A finished run's laps on panel 0.
        Grid& laps = f.panel(0).Spd_LapTime;
        laps.SetRowCount(2);
        laps.SetCell(1, 1, "1'02\"345");
        laps.SetCell(1, 4, "62345");
        laps.SetCell(2, 1, "1'01\"000");
        laps.SetCell(2, 4, "61000");
    }

    TempFolder dir;
    FakeConsole f;
};

TEST_F(MasterGarbage, TheNextLoadCopesAndNothingRecordedChanges) {
    for (const Garbage& g : Garbages()) {
        const Grid lapsBefore = f.panel(0).Spd_LapTime;
        const std::size_t carItems = f.panel(0).Cmb_Car.items.size();
        WriteBytes(f.console.paths.CarFilePath, g.bytes);

        f.dialogs.shown.clear();
        const bool opened = OpenEditor(f.console, Editor::Car);
        EXPECT_TRUE(opened) << g.name;  // a readable file opens, whatever it holds
        EXPECT_EQ(EditorOverlay(f.st(), Editor::Car).grid.RowCount(), kMasterRows) << g.name;
        CancelEditor(f.console, Editor::Car);

        // Opening reads the grid only: the lists, the laps and the file stay as they were.
        EXPECT_EQ(f.panel(0).Cmb_Car.items.size(), carItems) << g.name;
        EXPECT_EQ(f.panel(0).Spd_LapTime.RowCount(), lapsBefore.RowCount()) << g.name;
        for (int row = 1; row <= lapsBefore.RowCount(); ++row)
            EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(row, 4), lapsBefore.Cell(row, 4)) << g.name;
        EXPECT_EQ(ReadBytes(f.console.paths.CarFilePath), g.bytes) << g.name;
        EXPECT_FALSE(f.console.st.main.Btn_Start.caption.empty());
    }
}

TEST_F(MasterGarbage, AFileTurnedIntoAFolderIsReportedAndTheEditorStaysShut) {
    std::filesystem::remove(f.console.paths.CarFilePath);
    std::filesystem::create_directory(f.console.paths.CarFilePath);
    EXPECT_FALSE(OpenEditor(f.console, Editor::Car));
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text.rfind("Car.ini を読み込めません。", 0), 0u)
        << f.dialogs.shown[0].text;
    EXPECT_FALSE(EditorOverlay(f.st(), Editor::Car).frame.visible);
    // The car list of the run keeps its entry.
    EXPECT_EQ(f.panel(0).Cmb_Car.items.size(), 1u);
    EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(2, 4), "61000");
}

}  // namespace
}  // namespace velmora::test
