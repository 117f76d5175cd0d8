#include <gtest/gtest.h>

#include <functional>

#include "core/controls.h"

namespace velmora {
namespace {

// A copy shares every block until one of the two writes to it: the first row that may differ
// is found from block pointers alone, and never passes a row that does differ.
TEST(Grid, FirstRowNotSharedWithAnEarlierCopy) {
    constexpr int B = Grid::kRowsPerBlock;
    struct Case {
        const char* what;
        std::function<void(Grid&)> change;
        int first;
    };
    const Case cases[] = {
        {"nothing", [](Grid&) {}, 3 * B + 1},
        {"the active cell", [](Grid& g) { g.SetActiveCell(1, 5); }, 3 * B + 1},
        {"a cell in the last block", [](Grid& g) { g.SetCell(3 * B - 1, 2, "x"); }, 2 * B},
        {"a cell in the second block", [](Grid& g) { g.SetCell(B + 3, 1, "x"); }, B},
        {"the header", [](Grid& g) { g.SetCell(0, 1, "x"); }, 1},
        {"a row added", [](Grid& g) { g.SetRowCount(3 * B + 1); }, 3 * B + 1},
        {"rows cut", [](Grid& g) { g.SetRowCount(B + 2); }, B},
        {"a row deleted", [](Grid& g) { g.DeleteRow(2 * B + 1); }, 2 * B},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Grid g(3);
        g.SetRowCount(3 * B);
        for (int row = 1; row <= 3 * B; ++row) g.SetCell(row, 1, std::to_string(row));
        const Grid copy = g;
        c.change(g);
        EXPECT_EQ(g.FirstRowNotShared(copy), c.first);
    }
    EXPECT_EQ(Grid(3).FirstRowNotShared(Grid(4)), 1);
}

}  // namespace
}  // namespace velmora
