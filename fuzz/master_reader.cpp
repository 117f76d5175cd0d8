// Arbitrary bytes as Car.ini, Course.ini and Drivers.ini: the loaders fill at most the 50 grid
// rows, never throw, and an editor's OK without edits is stable (a file saved from the loaded
// grid loads and saves again to the same bytes, so nothing drifts from one OK to the next).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/text_rules.h"
#include "fakes/fakes.h"
#include "fuzz_support.h"
#include "master/master_files.h"

namespace {

using velmora::Console;
using velmora::Grid;
using velmora::fuzz::Check;
using velmora::fuzz::Fail;

using Loader = bool (*)(Console&, bool, std::string*);
using Saver = bool (*)(Console&, std::string*);

void CheckGrid(const Grid& grid, const char* which) {
    Check(grid.RowCount() == velmora::kMasterRows, "editor grid is not 50 rows", which);
}

void CheckLists(velmora::test::FakeConsole& fc) {
    Check(fc.st().main.Cmb_Course.items.size() <= velmora::kMasterRows, "too many courses");
    for (int s = 0; s < velmora::kPanelCount; ++s) {
        Check(fc.panel(s).Cmb_Car.items.size() <= velmora::kMasterRows, "too many cars");
        Check(fc.panel(s).Cmb_Driver.items.size() <= velmora::kMasterRows, "too many drivers");
        Check(fc.panel(s).Cmb_Car.listIndex == -1, "a car is chosen after a load");
        Check(fc.panel(s).Cmb_Driver.listIndex == -1, "a driver is chosen after a load");
    }
}

// The number cells of the rows an editor's OK keeps (those with a name left after the
// cleaning), in row order.
std::vector<std::string> NumberCells(const Grid& grid, std::initializer_list<int> columns) {
    std::vector<std::string> cells;
    for (int row = 1; row <= grid.RowCount(); ++row) {
        std::string name = grid.Cell(row, 1);
        for (char& ch : name)
            if (ch == '\r' || ch == '\n' || ch == ',') ch = ' ';
        if (velmora::Trim(name).empty()) continue;
        for (int col : columns) cells.push_back(grid.Cell(row, col));
    }
    return cells;
}

void RoundTrip(Console& c, const std::string& path, const Grid& grid, Loader load, Saver save,
               std::initializer_list<int> numberColumns, const char* which) {
    const std::vector<std::string> numbers = NumberCells(grid, numberColumns);
    Check(save(c, nullptr), "saving a loaded grid failed", which);
    const std::string saved = velmora::fuzz::ReadBytes(path);
    Check(load(c, false, nullptr), "loading a saved file failed", which);
    CheckGrid(grid, which);
    // A number shown in the grid must survive being written and read back.
    if (NumberCells(grid, numberColumns) != numbers) {
        std::string shown;
        for (const std::string& n : numbers) shown += n + " ";
        Fail("a number changed on its way through the file", shown);
    }
    Check(save(c, nullptr), "saving a reloaded grid failed", which);
    Check(velmora::fuzz::ReadBytes(path) == saved, "load and save changed a saved file", which);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    test::FakeConsole fc;
    Console& c = fc.console;
    c.paths = Paths::InFolder(ScratchFolder());
    for (const std::string* path :
         {&c.paths.CarFilePath, &c.paths.CourseFilePath, &c.paths.DriverFilePath})
        WriteBytes(*path, bytes);

    // Start-up order: drivers, courses, cars.
    Check(LoadDriverList(c, false, nullptr), "driver load failed");
    Check(LoadCourseList(c, false, nullptr), "course load failed");
    Check(LoadCarList(c, false, nullptr), "car load failed");
    CheckGrid(fc.st().Frm_Drivers.grid, "drivers");
    CheckGrid(fc.st().Frm_Course.grid, "courses");
    CheckGrid(fc.st().Frm_Car.grid, "cars");
    CheckLists(fc);

    // A driver's target is saved untrimmed but read without its leading blanks, so " 全車"
    // becomes "全車" after one OK; from the second OK on the file must hold still.
    Check(SaveDriverList(c, nullptr) && LoadDriverList(c, false, nullptr), "driver OK failed");
    RoundTrip(c, c.paths.DriverFilePath, fc.st().Frm_Drivers.grid, &LoadDriverList, &SaveDriverList,
              {}, "drivers");
    RoundTrip(c, c.paths.CourseFilePath, fc.st().Frm_Course.grid, &LoadCourseList, &SaveCourseList,
              {2}, "courses");
    RoundTrip(c, c.paths.CarFilePath, fc.st().Frm_Car.grid, &LoadCarList, &SaveCarList, {3, 4},
              "cars");
    CheckLists(fc);
    return 0;
}
