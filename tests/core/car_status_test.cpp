#include "core/car_status.h"

#include <gtest/gtest.h>

#include "fakes/fakes.h"

namespace velmora::test {
namespace {

TEST(CarStatus, SilenceReadsAsSecondsMinutesOrHours) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {-3, "0秒"},     {0, "0秒"},        {59, "59秒"},       {60, "1:00"},        {754, "12:34"},
        {3599, "59:59"}, {3600, "1:00:00"}, {11235, "3:07:15"}, {90000, "25:00:00"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(SilenceText(seconds), text) << seconds;
}

TEST(CarStatus, EachStateOfASlotHasItsLine) {
    struct Case {
        const char* what;
        bool address, measuring, panelEnabled, runStop, heard;
        std::int32_t now, lastHeard;
        const char* precision;
        const char* text;
        Colour back;
    } cases[] = {
        {"not set up", false, false, true, true, false, 0, 0, "1/1000", "未設定", IdleColour},
        {"set up, idle", true, false, true, true, true, 0, 0, "1/1000", "待機中", IdleColour},
        {"left out of the run", true, true, false, false, false, 0, 0, "1/1000", "計測外", Grey},
        {"stopped with 計測中止", true, true, true, false, true, 9000, 100, "1/1000", "計測中止",
         Grey},
        {"measured, never heard", true, true, true, true, false, 30000, 0, "1/1000", "未受信",
         White},
        {"heard just now", true, true, true, true, true, 5400, 5000, "1/1000", "受信中",
         HeardColour},
        {"a second of silence", true, true, true, true, true, 6000, 5000, "1/1000", "無通信 1秒",
         White},
        {"out on the lap", true, true, true, true, true, 759999, 5000, "1/1000", "無通信 12:34",
         White},
        {"1/100: heard just now", true, true, true, true, true, 590, 500, "1/100", "受信中",
         HeardColour},
        {"1/100: silent", true, true, true, true, true, 1750, 500, "1/100", "無通信 12秒", White},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        FakeConsole f;
        f.console.settings.Precision = k.precision;
        f.console.DeriveClock();
        PanelState& p = f.panel(1);
        RunnerState& r = f.runner(1);
        p.Lbl_IP.caption = k.address ? "127.0.0.2" : "";
        f.st().main.Btn_Start.caption = k.measuring ? "Stop" : "Start";
        p.Frm_Runner.enabled = k.panelEnabled;
        p.Btn_RunStop.enabled = k.runStop;
        r.HeardInRun = k.heard;
        r.LastHeardTick = k.lastHeard;
        const CarStatus s = DescribeCarStatus(f.st(), 1, k.now, f.console.clock);
        EXPECT_EQ(s.text, k.text);
        EXPECT_EQ(s.back, k.back);
        // Only the measured car is in black; the rest is quiet grey on the panel.
        EXPECT_EQ(s.fore, k.measuring ? Black : DarkGrey);
    }
}

}  // namespace
}  // namespace velmora::test
