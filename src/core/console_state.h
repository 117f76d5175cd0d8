#pragma once
// The whole console as plain data: the five slot records, the controls of the three car
// panels, the console block, the overlays and the values shared by all slots.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/controls.h"
#include "core/runner_state.h"
#include "core/wall_time.h"

namespace velmora {

// Lap grid columns: 1 time text, 2 driver, 3 remarks (visible); 4 ticks, 5 message record;
// 6 wall-clock date and time the lap was recorded ("2026/12/07 14:05:09"), for the export;
// 7 where the message record splits: the length in bytes of the message sent, which the
// record's ", " follows. Both the sent and the received text may hold ", " themselves, so the
// record alone cannot be split exactly. 8 the tick the lap closed (the first datagram of the
// pass that ended it) and 9 the tick of that pass's last datagram, written when the silence
// step opens the next lap: a car standing in the pit keeps sending, so a long pass is a pit
// stop (rules/rule_engine.h). Keeping these in the grid makes them follow every row cut,
// added or restored with the rest.
inline constexpr int kLapGridColumns = 9;
inline constexpr int kLapRecordedAtColumn = 6;
inline constexpr int kLapMessageSplitColumn = 7;
inline constexpr int kLapClosedTickColumn = 8;
inline constexpr int kLapPassEndTickColumn = 9;

// Driver table columns: 1 driver, 2 best lap, 3 average lap (the results file writes these
// three); 4 timed laps and 5 total driving time, derived from the lap grid for the pop-up.
inline constexpr int kDriverInfoColumns = 5;
inline constexpr int kDriverLapsColumn = 4;
inline constexpr int kDriverTimeColumn = 5;

// The stint table of the driver pop-up, derived from the lap grid under the driving-time rules
// (analysis/rule_figures.h): every stint, pit stop and breach in time order. Columns: 1 kind
// ("走行", "停止", "違反"), 2 driver, 3 laps, 4 start and 5 length ("h:mm:ss", counted from the
// start of the run), 6 note (shown); 7 start and 8 length in ms (the export); for the team
// view's feed, 9 a breach's kind as a fixed name (BreachKindKey) or "short" for a stop too
// short, 10 "1" when a breach or the change at a stop is provisional, 11 a breach's penalty laps.
inline constexpr int kStintTableColumns = 11;
inline constexpr int kStintShownColumns = 6;
inline constexpr int kStintStartMsColumn = 7;
inline constexpr int kStintLengthMsColumn = 8;
inline constexpr int kStintCodeColumn = 9;
inline constexpr int kStintProvisionalColumn = 10;
inline constexpr int kStintPenaltyColumn = 11;

// The controls of one car panel, Frm_Runner(i).
struct PanelState {
    Frame Frm_Runner;
    Button Btn_ClientNoSet;  // set-up button of the idle panel

    // Lap information strip.
    Frame Frm_LapInfo;
    Label Lbl_Gousya;
    Label Lbl_Time;
    Label Lbl_LapCnt;
    Label Lbl_BestLapTime;
    Label Lbl_AveLapTime;
    Label Lbl_YosoSyu;
    Label Lbl_IP;  // caption = RegisteredAddress; empty = slot not set up
    Button Btn_ClientNoSet2;
    Button Btn_ClsCar;
    Button Btn_RunStop;
    Button Btn_LapChg;
    // Measured, stopped or not set up, and whether the car is heard (core/car_status.h).
    Label Lbl_CarStatus;

    // Driver information.
    Frame Frm_DriverInfo;
    ComboBox Cmb_Driver;
    ComboBox Cmb_Car;
    TextBox Txt_Nenpi;
    Meter Meter_Gas;
    TextBox Txt_InGasl;
    Button Btn_Kyuyu;
    Label Lbl_ZanGas;
    Label Lbl_AllGas;
    Label Lbl_Tank;
    TextBox Txt_ZanRunCnt;
    Label Lbl_AutoMess1;
    CheckBox Chk_ChgCnter;
    Label Lbl_AutoMess2;
    TextBox Txt_OutMess;
    Label Lbl_InMess;
    Label Lbl_DrvrBestLapTime;
    Label Lbl_DrvrAveLapTime;
    Label Lbl_Stint;  // the current driver's stint, derived from the lap grid
    // Under the driving-time rules: the time left before the driver must change ("交代まで
    // 12分", its colour the warning level) and the rest in one line (earliest change, changes
    // and stops owed, breaches, a stop too short).
    Label Lbl_ChangeDue;
    Label Lbl_RuleNote;
    ToggleButton Btn_DriverInfo;
    Frame Frm_DriverLap;  // driver pop-up
    Grid Spd_DriverInfo{kDriverInfoColumns};
    Grid Spd_Stints{kStintTableColumns};  // in the pop-up, under the driver table

    Grid Spd_LapTime{kLapGridColumns};
};

// One row of the ranking frame.
struct RankingRow {
    Label Lbl_Jyuni;
    Label Lbl_Sort_No;
    Label Lbl_Sort_LAP;
    Label Lbl_BestTime;
    Label Lbl_BestLAP;
};

// The console block, Frm_Main.
struct MainFrameState {
    Frame Frm_Main;
    ComboBox Cmb_Course;
    TextBox Txt_Event;
    TextBox Txt_Date;
    ComboBox Cmb_Tenki;
    TextBox Txt_Kion;
    std::array<RankingRow, kPanelCount> ranking;
    Button Btn_Cource;
    Button Btn_Drivers;
    Button Btn_Car;
    Button Btn_Mess;
    Button Btn_LapChart;  // opens the lap chart window
    Button Btn_Export;    // writes the laps as CSV
    Button Btn_Rules;     // opens the "走行規則" dialog
    Label Lbl_OtherLap;
    Button Btn_OtherLap;
    TextBox Txt_RunH;
    TextBox Txt_RunN;
    Label Lbl_StTime;
    Label Lbl_ZanTime;
    Label Lbl_SysTime;
    Label Lbl_LocalIP;
    TextBox Txt_AllOutMess;
    Button Btn_Start;
    Button Btn_Write;
    Button Btn_End;
};

// An overlay frame with its grid and two buttons (settings dialog and the master editors).
struct OverlayState {
    Frame frame;
    Grid grid;
    Button ok;
    Button cancel;
    explicit OverlayState(int columns) : grid(columns) { frame.visible = false; }
};

struct ConsoleState {
    Runners runners{};
    std::array<PanelState, kPanelCount> panels{};
    MainFrameState main{};

    OverlayState Frm_Mess{2};     // Spd_Mess, Btn_MessOk, Btn_MessCancel
    OverlayState Frm_Car{5};      // Spd_Car, Btn_CarOK, Btn_CarCancel
    OverlayState Frm_Course{3};   // Spd_Course, Btn_CourceOK, Btn_CourceCancel
    OverlayState Frm_Drivers{3};  // Spd_Drivers, Btn_DrvOk, Btn_DrvCancel

    // Shared values.
    std::int16_t LastMeasuredSlot = -1;
    LocalTime MeasureStartTime{};
    // Real time of tick 0 of the last measurement started (ms since the Unix epoch): a run
    // brought back after the machine started again counts its ticks on from it.
    std::int64_t TickZeroRealMs = 0;
    // The same instant on the monotonic clock, and that clock's origin: a restart on the same
    // origin counts on from it exactly, whatever the wall clock was set to or slewed by since.
    std::int64_t TickZeroMonoNs = 0;
    std::string TickZeroClockId;
    LocalTime MeasureEndTime{};
    bool EndTimeSet = false;
    std::int32_t RemainingTicks = 0;
    bool SkipStopConfirm = false;
    std::int32_t RunHoursOnEntry = 0;
    std::int32_t RunMinutesOnEntry = 0;
    std::int32_t SpotStartTick = 0;
    std::int32_t SpotStopTick = 0;
    std::string AllCarsMessage;
    std::int32_t SelectedCourseLength = 0;
    std::array<std::string, kSlotCount> RankKeys{};
    std::string RankSwap;
    // The event's driving-time rules as the "走行規則" dialog's texts, one per field in dialog
    // order (rules/rule_fields.h; empty: no such rule), and the two driver-change warnings sent
    // to the cars. Read from Velmora.ini at start-up and set by the dialog; the engine applies
    // them (analysis/rule_figures.h). No texts at all: no rules.
    std::vector<std::string> DrivingRuleTexts;
    std::string ChangeWarning5;
    std::string ChangeWarning1;

    // Object name of the control that should take the keyboard focus (e.g. "Txt_RunH",
    // "Txt_InGasl_1"); the shell moves the focus there after the event and clears it.
    std::string focusRequest;

    bool Measuring() const { return main.Btn_Start.caption == "Stop"; }
};

}  // namespace velmora
