#include "core/window_scale.h"

#include <gtest/gtest.h>

#include "core/atomic_file.h"
#include "core/encoding.h"
#include "core/settings.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

TEST(WindowScale, StoredTextReadsBackClampedAndAnythingElseIsOne) {
    const std::pair<const char*, double> cases[] = {
        {"1.50", 1.5},          {" 2 ", 2.0}, {"0.5", kMinWindowScale},
        {"9", kMaxWindowScale}, {"", 1.0},    {"abc", 1.0},
        {"1.5x", 1.0},          {"-2", 1.0},  {"0", 1.0},
        {"1e400", 1.0},
    };
    for (const auto& [stored, scale] : cases) {
        TempFolder dir;
        const std::string path = dir.File("Velmora.ini");
        ASSERT_TRUE(WriteFileAtomically(
            path, Utf8ToCp932("[画面表示]\r\n表示倍率=" + std::string(stored) + "\r\n")));
        EXPECT_DOUBLE_EQ(LoadWindowScale(path), scale) << stored;
    }
    TempFolder dir;
    EXPECT_DOUBLE_EQ(LoadWindowScale(dir.File("missing.ini")), 1.0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.ini")));  // reading writes nothing
}

TEST(WindowScale, SavingAddsItsOwnSectionAndLeavesTheSevenKeysByteForByte) {
    TempFolder dir;
    const std::string path = dir.File("Velmora.ini");
    LoadMeasureSettings(path);  // the first-run file
    const std::string firstRun = Slurp(path);

    ASSERT_TRUE(SaveWindowScale(path, 1.456));
    EXPECT_EQ(Slurp(path), firstRun + Utf8ToCp932("[画面表示]\r\n表示倍率=1.46\r\n"));
    EXPECT_DOUBLE_EQ(LoadWindowScale(path), 1.46);

    // Saving again replaces the value in place; the settings dialog's save touches only its
    // own keys.
    ASSERT_TRUE(SaveWindowScale(path, 7));
    MeasureSettings s = LoadMeasureSettings(path);
    ASSERT_TRUE(SaveMeasureSettings(path, s));
    EXPECT_EQ(Slurp(path), firstRun + Utf8ToCp932("[画面表示]\r\n表示倍率=4.00\r\n"));
    EXPECT_EQ(WindowScaleText(1), "1.00");
}

TEST(WindowScale, OpensAtTheRememberedScaleAsFarAsTheScreenHoldsIt) {
    struct Case {
        double remembered, fits, opens;
    } cases[] = {
        {1.5, 2.0, 1.5},  // room enough
        {1.5, 1.2, 1.2},  // a smaller screen than last time
        {1.5, 0.7, 1.0},  // smaller than the design: the design size, as always
        {0.8, 0.7, 0.8},  // shrunk on purpose
        {0.8, 2.0, 0.8}, {9.0, 9.0, kMaxWindowScale},
    };
    for (const Case& k : cases)
        EXPECT_DOUBLE_EQ(StartWindowScale(k.remembered, k.fits), k.opens)
            << k.remembered << " on " << k.fits;
}

}  // namespace
}  // namespace velmora::test
