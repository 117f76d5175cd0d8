#include <gtest/gtest.h>

#include "fakes/fakes.h"
#include "pit/drivers.h"
#include "pit/fuel.h"

namespace velmora::test {
namespace {

// Course 2,000 m; a car of 40 l and 5 km/l chosen in slot 0.
struct FuelFixture : ::testing::Test {
    FakeConsole f;
    const TimerKey blink{TimerId::GasBlk, 0};

    void SetUp() override {
        f.st().SelectedCourseLength = 2000;
        f.panel(0).Cmb_Car.AddItem("Swift\t40\t5");
        f.panel(0).Cmb_Car.Select(0);
        ChooseCar(f.console, 0);
    }
    void Load(const char* litres) {
        f.panel(0).Txt_InGasl.text = litres;
        Refuel(f.console, 0);
    }
    void AtLap(int laps) {
        f.runner(0).LapCount = laps;
        UpdateFuelGauge(f.console, 0);
    }
};

TEST_F(FuelFixture, ChoosingACarTakesCapacityAndEconomy) {
    EXPECT_EQ(f.panel(0).Lbl_Tank.caption, "40");
    EXPECT_FLOAT_EQ(f.runner(0).TankCapacity, 40.0f);
    EXPECT_EQ(f.panel(0).Txt_Nenpi.text, "5");
    EXPECT_FLOAT_EQ(f.runner(0).FuelEconomy, 5000.0f);
    EXPECT_EQ(f.panel(0).Cmb_Car.back, White);
}

TEST_F(FuelFixture, EconomyIsWrittenBackAsANumber) {
    f.panel(0).Cmb_Car.AddItem("Kei\t30.50\t12.50km");
    f.panel(0).Cmb_Car.Select(1);
    ChooseCar(f.console, 0);
    EXPECT_EQ(f.panel(0).Lbl_Tank.caption, "30.50");
    EXPECT_FLOAT_EQ(f.runner(0).TankCapacity, 30.5f);
    EXPECT_EQ(f.panel(0).Txt_Nenpi.text, "12.5");
    EXPECT_FLOAT_EQ(f.runner(0).FuelEconomy, 12500.0f);
}

struct GaugeCase {
    int laps;
    int percent;
    const char* left;
    bool blinking;
};

class GaugeFigures : public FuelFixture, public ::testing::WithParamInterface<GaugeCase> {};

TEST_P(GaugeFigures, ThirtyLitresLoaded) {
    const GaugeCase& k = GetParam();
    Load("30");
    AtLap(k.laps);
    EXPECT_EQ(f.panel(0).Meter_Gas.value, k.percent) << k.laps << " laps";
    EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, k.left) << k.laps << " laps";
    EXPECT_EQ(f.timers.IsRunning(blink), k.blinking) << k.laps << " laps";
    if (!k.blinking) {
        EXPECT_EQ(f.panel(0).Meter_Gas.fore, Yellow);
    }
}

// 55 laps is exactly a fifth of the tank: the double result is a hair below 20 and must not
// start the blinking.
INSTANTIATE_TEST_SUITE_P(
    Laps, GaugeFigures,
    ::testing::Values(GaugeCase{0, 75, "残30", false}, GaugeCase{10, 65, "残26", false},
                      GaugeCase{50, 25, "残10", false}, GaugeCase{55, 20, "残8", false},
                      GaugeCase{56, 19, "残7", true}, GaugeCase{80, 0, "残0", true}));

TEST_F(FuelFixture, MoreThanTheTankShowsAFullTank) {
    Load("55");
    EXPECT_EQ(f.panel(0).Lbl_AllGas.caption, "55");
    EXPECT_EQ(f.panel(0).Meter_Gas.value, 100);
    EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, "残40");
}

TEST_F(FuelFixture, BlinkingAlternatesAndStopsWhenFuelIsBack) {
    Load("5");
    AtLap(10);  // 1 l left of 40: 2.5 %
    ASSERT_TRUE(f.timers.IsRunning(blink));
    EXPECT_EQ(f.timers.Interval(blink), 1000);
    f.panel(0).Meter_Gas.fore = Yellow;
    f.timers.Fire(blink);
    EXPECT_EQ(f.panel(0).Meter_Gas.fore, Red);
    f.timers.Fire(blink);
    EXPECT_EQ(f.panel(0).Meter_Gas.fore, Yellow);
    f.timers.Fire(blink);
    Load("30");
    EXPECT_FALSE(f.timers.IsRunning(blink));
    EXPECT_EQ(f.panel(0).Meter_Gas.fore, Yellow);
}

TEST_F(FuelFixture, RefuelAddsUpKeepsTheAmountAndTakesCorrections) {
    Load("12.5");
    Refuel(f.console, 0);
    EXPECT_FLOAT_EQ(f.runner(0).FuelLoaded, 25.0f);
    EXPECT_EQ(f.panel(0).Lbl_AllGas.caption, "25");
    EXPECT_EQ(f.panel(0).Txt_InGasl.text, "12.5");
    EXPECT_EQ(f.st().focusRequest, "Txt_InGasl_0");
    Load("-5");
    EXPECT_EQ(f.panel(0).Lbl_AllGas.caption, "20");
    EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, "残20");
    EXPECT_EQ(f.dialogs.beeps, 0);
}

TEST_F(FuelFixture, RefusedRefuelsBeepAndLoadNothing) {
    struct Case {
        const char* name;
        int course;
        const char* economy;
        const char* amount;
    };
    for (const Case& k : {Case{"no course", 0, "5", "10"}, Case{"no economy", 2000, "0", "10"},
                          Case{"zero amount", 2000, "5", "0"}, Case{"empty", 2000, "5", ""},
                          Case{"text", 2000, "5", "lots"}}) {
        FakeConsole g;
        g.st().SelectedCourseLength = k.course;
        g.panel(0).Txt_Nenpi.text = k.economy;
        NenpiLostFocus(g.console, 0);
        g.runner(0).TankCapacity = 40;
        g.panel(0).Txt_InGasl.text = k.amount;
        Refuel(g.console, 0);
        EXPECT_EQ(g.dialogs.beeps, 1) << k.name;
        EXPECT_FLOAT_EQ(g.runner(0).FuelLoaded, 0.0f) << k.name;
        EXPECT_EQ(g.panel(0).Lbl_AllGas.caption, "") << k.name;
    }
}

TEST_F(FuelFixture, RefuelClosesTheDriverPopup) {
    DriverInfoClick(f.console, 0);
    ASSERT_TRUE(f.panel(0).Frm_DriverLap.visible);
    Load("10");
    EXPECT_FALSE(f.panel(0).Frm_DriverLap.visible);
    EXPECT_FALSE(f.timers.IsRunning(TimerKey{TimerId::DriverInfo, 0}));
}

TEST_F(FuelFixture, AnotherCarWaitsForTheNextUpdate) {
    Load("30");
    f.panel(0).Cmb_Car.AddItem("Big\t80\t10");
    f.panel(0).Cmb_Car.Select(1);
    ChooseCar(f.console, 0);
    EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, "残30");
    AtLap(0);
    EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, "残30");  // 30 of 80 l: 37.5 %
    EXPECT_EQ(f.panel(0).Meter_Gas.value, 38);
}

TEST(FuelGauge, SkippedWithoutCourseEconomyOrTank) {
    for (int which = 0; which < 3; ++which) {
        FakeConsole f;
        f.st().SelectedCourseLength = which == 0 ? 0 : 2000;
        f.runner(0).FuelEconomy = which == 1 ? 0.0f : 5000.0f;
        f.runner(0).TankCapacity = which == 2 ? 0.0f : 40.0f;
        f.runner(0).FuelLoaded = 5;
        UpdateFuelGauge(f.console, 0);
        EXPECT_EQ(f.panel(0).Lbl_ZanGas.caption, "残999") << which;
        EXPECT_FALSE(f.timers.IsRunning(TimerKey{TimerId::GasBlk, 0})) << which;
    }
}

TEST(FuelInputs, InvalidTextIsResetWithABeep) {
    struct Case {
        const char* text;
        bool valid;
    };
    for (const Case& k : {Case{"", false}, Case{"abc", false}, Case{"12x", false},
                          Case{"7.5", true}, Case{"-3", true}, Case{" 4 ", true}}) {
        FakeConsole f;
        f.panel(0).Txt_InGasl.text = k.text;
        InGaslLostFocus(f.console, 0);
        EXPECT_EQ(f.panel(0).Txt_InGasl.text, k.valid ? k.text : "") << k.text;
        f.panel(0).Txt_Nenpi.text = k.text;
        NenpiLostFocus(f.console, 0);
        EXPECT_EQ(f.panel(0).Txt_Nenpi.text, k.valid ? k.text : "0") << k.text;
        EXPECT_EQ(f.dialogs.beeps, k.valid ? 0 : 2) << k.text;
    }
}

TEST(FuelInputs, EconomyIsKeptInMetresPerLitre) {
    FakeConsole f;
    f.panel(0).Txt_Nenpi.text = "7.5";
    NenpiLostFocus(f.console, 0);
    EXPECT_FLOAT_EQ(f.runner(0).FuelEconomy, 7500.0f);
    f.panel(0).Txt_Nenpi.text = "";
    NenpiLostFocus(f.console, 0);
    EXPECT_FLOAT_EQ(f.runner(0).FuelEconomy, 0.0f);
}

}  // namespace
}  // namespace velmora::test
