#include <gtest/gtest.h>

#include "fakes/fakes.h"

namespace velmora::test {
namespace {

TEST(ConsoleStartup, PanelsStartIdleWithTheirCaptions) {
    FakeConsole f;
    EXPECT_EQ(f.panel(0).Frm_Runner.caption, "１号車");
    EXPECT_EQ(f.panel(2).Frm_Runner.caption, "３号車");
    EXPECT_EQ(f.runner(1).LinkFlag, "N");
    EXPECT_EQ(f.panel(1).Lbl_Time.caption, "0'00\"000");
    EXPECT_EQ(f.st().main.Txt_Date.text, "2026/12/7");
    EXPECT_EQ(f.panel(0).Spd_LapTime.Cell(0, 1), "タイム");
}

}  // namespace
}  // namespace velmora::test
