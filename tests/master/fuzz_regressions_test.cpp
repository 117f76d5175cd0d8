// Master files the fuzz targets found: loading, saving from the loaded grid (an editor's OK
// without edits) and loading again must show the same numbers.
#include <gtest/gtest.h>

#include <string>

#include "fakes/fakes.h"
#include "master/master_files.h"
#include "master/temp_folder.h"

namespace velmora::test {
namespace {

TEST(MasterFilesFound, CarNumbersSurviveAnEditorOk) {
    struct Case {
        const char* file;  // Car.ini bytes as found (ASCII)
        const char* capacity;
        const char* economy;
        const char* saved;
    };
    const Case cases[] = {
        // The grid showed "607.0400" and, after OK, "607.04".
        {"car,owner,123458,607.04001\r\n", "123458", "607.04", "car,owner,123458,607.04\r\n"},
        // "1.234568e+07" and "1e-05" were written, and read back as 1.234568 and 1.
        {"c,o,12345678,0.00001\r\n", "12345680", "0.00001", "c,o,12345680,0.00001\r\n"},
        {"c,o,0.000015,-12345678\r\n", "0.000015", "-12345680", "c,o,0.000015,-12345680\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder dir;
        FakeConsole f;
        f.console.paths = Paths::InFolder(dir.str());
        const Grid& grid = f.st().Frm_Car.grid;
        WriteBytes(f.console.paths.CarFilePath, c.file);

        ASSERT_TRUE(LoadCarList(f.console, false));
        EXPECT_EQ(grid.Cell(1, 3), c.capacity);
        EXPECT_EQ(grid.Cell(1, 4), c.economy);
        EXPECT_EQ(f.panel(0).Cmb_Car.items.at(0),
                  grid.Cell(1, 1) + "\t" + c.capacity + "\t" + c.economy);

        ASSERT_TRUE(SaveCarList(f.console));
        EXPECT_EQ(ReadBytes(f.console.paths.CarFilePath), c.saved);
        ASSERT_TRUE(LoadCarList(f.console, false));
        EXPECT_EQ(grid.Cell(1, 3), c.capacity);
        EXPECT_EQ(grid.Cell(1, 4), c.economy);
    }
}

}  // namespace
}  // namespace velmora::test
