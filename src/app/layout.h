#pragma once
// Where every control sits, in twips relative to its frame. Per-slot controls share one
// table; their object names get "_<slot>" when the panel is built.
#include <string_view>

#include "app/twips.h"

namespace velmora::layout {

struct Place {
    std::string_view name;
    TwipRect rect;
};

// A caption-only label of the design (no state behind it).
struct StaticText {
    std::string_view text;
    std::string_view frame;  // name of the frame it sits in ("" = the block itself)
    TwipRect rect;
};

// The main window's client area: the console block and the three car panels.
inline constexpr TwipRect kMainFrame{30, 30, 5055, 5235};
inline constexpr TwipRect kRunnerFrames[3] = {
    {5115, 30, 5055, 5235}, {30, 5295, 5055, 5235}, {5115, 5295, 5055, 5235}};
inline constexpr int kClientWidth = 10200;
inline constexpr int kClientHeight = 10560;

// Title band of a captioned frame.
inline constexpr int kCaptionBand = 195;

// Console block (Frm_Main) and its inner frames.
inline constexpr Place kConsoleFrames[] = {
    {"Frm_Comment", {60, 570, 3690, 810}},
    {"Frm_Ranking", {60, 1410, 3690, 1140}},
    {"Frm_HostIP", {2520, 3285, 2475, 555}},
};

inline constexpr Place kConsoleControls[] = {
    {"Cmb_Course", {900, 225, 2850, 300}},
    // in Frm_Comment
    {"Txt_Event", {840, 165, 2790, 285}},
    {"Txt_Date", {480, 480, 1140, 285}},
    {"Cmb_Tenki", {2100, 480, 690, 285}},
    {"Txt_Kion", {3240, 480, 390, 285}},
    // button column (kButtonColumnLeft): seven buttons 300 high, 330 apart, above the
    // stopwatch's button
    {"Btn_Cource", {3810, 225, 1185, 300}},
    {"Btn_Drivers", {3810, 555, 1185, 300}},
    {"Btn_Car", {3810, 885, 1185, 300}},
    {"Btn_Mess", {3810, 1215, 1185, 300}},
    {"Btn_LapChart", {3810, 1545, 1185, 300}},
    {"Btn_TeamView", {3810, 1875, 1185, 300}},
    {"Btn_Export", {3810, 2205, 1185, 300}},
    // stopwatch
    {"Lbl_OtherLap", {1830, 2610, 1290, 300}},
    {"Btn_OtherLap", {3810, 2595, 1185, 330}},
    // run length and clocks
    {"Txt_RunH", {840, 2985, 420, 285}},
    {"Txt_RunN", {1710, 2985, 420, 285}},
    {"Lbl_StTime", {2430, 2985, 1350, 285}},
    {"Lbl_SysTime", {3810, 2985, 1185, 285}},
    {"Lbl_ZanTime", {60, 3345, 2400, 420}},
    // in Frm_HostIP
    {"Lbl_LocalIP", {90, 225, 2295, 270}},
    {"Txt_AllOutMess", {1650, 3900, 3345, 285}},
    {"Btn_Start", {60, 4260, 2025, 915}},
    {"Btn_Write", {2145, 4605, 1155, 570}},
    {"Btn_End", {4140, 4605, 855, 570}},
    // the driving-time rules, under the all-cars message at the foot of the button column
    {"Btn_Rules", {3810, 4230, 1185, 330}},
};

// The console block's column of editor buttons; Tab visits it after the left side.
inline constexpr int kButtonColumnLeft = 3810;
// Tab starts the console block in this frame (the event data), then takes the course.
inline constexpr std::string_view kTabFirstFrame = "Frm_Comment";

// Ranking rows inside Frm_Ranking: header at kRankHeaderTop, rows below it.
inline constexpr int kRankHeaderTop = 210;
inline constexpr int kRankRowTop = 450;
inline constexpr int kRankRowStep = 225;
inline constexpr int kRankRowHeight = 225;
// Columns: Lbl_Jyuni, Lbl_Sort_No, Lbl_Sort_LAP, Lbl_BestLAP, Lbl_BestTime (left, width),
// each headed by its caption, centred over the column like its figures (the car name left).
// The widths hold "BestLap", "BestTime" and a 12'34"567 apart at the normal text size.
inline constexpr int kRankColLeft[5] = {60, 480, 1440, 1950, 2760};
inline constexpr int kRankColWidth[5] = {390, 930, 480, 780, 900};
inline constexpr std::string_view kRankHeaders[5] = {"順位", "車輌名", "Lap", "BestLap",
                                                     "BestTime"};

inline constexpr StaticText kConsoleTexts[] = {
    {"コース名", "", {90, 240, 780, 270}},
    {"ｲﾍﾞﾝﾄ名", "Frm_Comment", {90, 180, 720, 270}},
    {"日付", "Frm_Comment", {90, 495, 390, 270}},
    {"天気", "Frm_Comment", {1680, 495, 420, 270}},
    {"気温", "Frm_Comment", {2820, 495, 420, 270}},
    {"気になる車のLap？", "", {90, 2625, 1710, 270}},
    {"走行時間", "", {90, 3000, 735, 270}},
    {"時間", "", {1290, 3000, 405, 270}},
    {"分", "", {2160, 3000, 240, 270}},
    {"全車一斉メッセージ", "", {90, 3915, 1545, 270}},
};

// Car panel (Frm_Runner(i)).
inline constexpr Place kPanelFrames[] = {
    // The strip covers the panel's caption band; Lbl_Gousya names the car instead.
    {"Frm_LapInfo", {30, 0, 4980, 900}},
    {"Frm_DriverInfo", {30, 900, 4980, 1815}},
    // The pop-up lies over the lap grid and leaves the rules' line above it in view.
    {"Frm_DriverLap", {30, 2985, 4980, 2220}},
};
inline constexpr TwipRect kClientNoSet{150, 345, 1800, 450};
// The driving-time rules' line between the driver frame and the lap grid: the time left
// before the driver must change, then the rest of what the rules say.
inline constexpr Place kRuleLine[] = {
    {"Lbl_ChangeDue", {30, 2730, 1470, 240}},
    {"Lbl_RuleNote", {1530, 2730, 3480, 240}},
};
inline constexpr TwipRect kLapGrid{30, 2985, 4980, 2220};
// In the pop-up: the driver table, and under it the stint table (stints, stops, breaches).
inline constexpr TwipRect kDriverInfoGrid{60, 225, 4860, 795};
inline constexpr TwipRect kStintGrid{60, 1050, 4860, 1140};
// Driver pop-up columns: driver, best, average, timed laps, driving time.
inline constexpr int kDriverInfoColumnTwips[5] = {900, 1350, 930, 420, 840};
// Stint table columns (at 8 pt): kind, driver, laps, start, length; the note takes the rest.
inline constexpr int kStintColumnTwips[5] = {420, 960, 480, 720, 720};

// In Frm_LapInfo every caption has the room its longest figure needs at the strip's normal
// text size ("1234周目 1'23\"456", "あと2050周", "192.168.100.200", "無通信 23:59:59"):
// row 1 the car, its lap clock, lap count and predicted laps (予想周数 with a blank before
// its value), row 2 the best and average laps and the car PC's address, row 3 the buttons
// and the car's state line.
inline constexpr Place kPanelControls[] = {
    // in Frm_LapInfo
    {"Lbl_Gousya", {60, 45, 540, 285}},
    {"Lbl_Time", {630, 30, 1470, 315}},
    {"Lbl_LapCnt", {2130, 45, 870, 285}},
    {"Lbl_YosoSyu", {3840, 45, 1110, 285}},
    {"Lbl_BestLapTime", {435, 360, 1665, 240}},
    {"Lbl_AveLapTime", {2460, 360, 900, 240}},
    {"Lbl_IP", {3420, 360, 1530, 240}},
    {"Btn_ClientNoSet2", {60, 615, 855, 255}},
    {"Btn_ClsCar", {930, 615, 855, 255}},
    {"Btn_RunStop", {1800, 615, 855, 255}},
    {"Btn_LapChg", {2670, 615, 855, 255}},
    {"Lbl_CarStatus", {3540, 615, 1410, 255}},
    // in Frm_DriverInfo (8 pt: seven rows of 225 twips)
    {"Cmb_Driver", {60, 195, 1500, 225}},
    {"Btn_DriverInfo", {1590, 195, 1170, 225}},
    {"Lbl_DrvrBestLapTime", {3390, 195, 1530, 225}},
    {"Cmb_Car", {630, 426, 2130, 225}},
    {"Lbl_DrvrAveLapTime", {3390, 426, 1530, 225}},
    {"Lbl_Tank", {960, 657, 420, 225}},
    {"Meter_Gas", {1860, 657, 1950, 225}},
    {"Lbl_ZanGas", {3870, 657, 1050, 225}},
    {"Txt_Nenpi", {810, 888, 510, 225}},
    {"Lbl_AllGas", {3000, 888, 600, 225}},
    {"Lbl_Stint", {3630, 888, 1290, 225}},
    {"Txt_InGasl", {630, 1119, 510, 225}},
    {"Btn_Kyuyu", {1620, 1119, 750, 225}},
    {"Lbl_InMess", {2430, 1119, 2490, 225}},
    {"Txt_ZanRunCnt", {60, 1350, 420, 225}},
    {"Lbl_AutoMess1", {510, 1350, 2010, 225}},
    {"Chk_ChgCnter", {2550, 1350, 240, 225}},
    {"Lbl_AutoMess2", {2820, 1350, 2100, 225}},
    {"Txt_OutMess", {1320, 1581, 3600, 225}},
};

inline constexpr StaticText kPanelTexts[] = {
    {"予想周数", "Frm_LapInfo", {3060, 60, 720, 255}},
    {"Best", "Frm_LapInfo", {60, 360, 375, 240}},
    {"Ave", "Frm_LapInfo", {2130, 360, 330, 240}},
    {"D.Best", "Frm_DriverInfo", {2820, 195, 540, 225}},
    {"D.Ave", "Frm_DriverInfo", {2820, 426, 540, 225}},
    {"車輌名", "Frm_DriverInfo", {60, 426, 540, 225}},
    {"タンク容量", "Frm_DriverInfo", {60, 657, 870, 225}},
    {"ﾘｯﾄﾙ", "Frm_DriverInfo", {1410, 657, 390, 225}},
    {"平均燃費", "Frm_DriverInfo", {60, 888, 720, 225}},
    {"Km/ﾘｯﾄﾙ", "Frm_DriverInfo", {1350, 888, 660, 225}},
    {"総給油容量", "Frm_DriverInfo", {2100, 888, 870, 225}},
    {"給油量", "Frm_DriverInfo", {60, 1119, 540, 225}},
    {"ﾘｯﾄﾙ", "Frm_DriverInfo", {1170, 1119, 390, 225}},
    {"送信メッセージ", "Frm_DriverInfo", {60, 1581, 1230, 225}},
};

// Overlays: frame size, grid rectangle, OK and Cancel buttons (1545 × 465).
struct OverlayLayout {
    std::string_view frame, grid, ok, cancel;
    int width, height;
    TwipRect gridRect;
    int okLeft, cancelLeft, buttonTop;
};
inline constexpr int kOverlayButtonW = 1545;
inline constexpr int kOverlayButtonH = 465;

inline constexpr OverlayLayout kCarEditor{
    "Frm_Car", "Spd_Car", "Btn_CarOK", "Btn_CarCancel", 6945, 3465, {90, 360, 6750, 2490},
    3690,      5310,      2910};
inline constexpr OverlayLayout kCourseEditor{
    "Frm_Course", "Spd_Course", "Btn_CourceOK",        "Btn_CourceCancel",
    7560,         3465,         {90, 375, 7380, 2490}, 4320,
    5940,         2910};
inline constexpr OverlayLayout kDriverEditor{
    "Frm_Drivers", "Spd_Drivers", "Btn_DrvOk", "Btn_DrvCancel", 4065, 3465, {75, 360, 3885, 2490},
    795,           2415,          2910};
// Settings dialog laid out for its seven rows.
inline constexpr OverlayLayout kSettingsDialog{
    "Frm_Mess", "Spd_Mess", "Btn_MessOk", "Btn_MessCancel", 7560, 2580, {90, 300, 7380, 1590},
    3990,       5700,       2025};

}  // namespace velmora::layout
