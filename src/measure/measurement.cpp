#include "measure/measurement.h"

#include <string>
#include <vector>

#include "carlink/presence.h"
#include "carlink/protocol.h"
#include "core/text_rules.h"
#include "core/time_format.h"
#include "measure/lap_display.h"
#include "measure/run_length.h"
#include "pit/drivers.h"
#include "pit/fuel.h"
#include "pit/messages.h"

namespace velmora {

namespace {

constexpr int kLapTimerMs = 99;
constexpr int kWindowTimerMs = 1000;

void SetConsoleButtons(Console& c, bool enabled) {
    MainFrameState& m = c.st.main;
    for (Button* b :
         {&m.Btn_End, &m.Btn_Write, &m.Btn_Cource, &m.Btn_Drivers, &m.Btn_Car, &m.Btn_Mess})
        b->enabled = enabled;
}

// A slot that does not take part: no lap clock, no socket, panel and stop button disabled.
void LeaveOutOfRun(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    c.svc.timers.Stop(TimerKey{TimerId::Lap, i});
    c.svc.net.Close(CarSocket(i));
    p.Frm_Runner.enabled = false;
    p.Btn_RunStop.enabled = false;
}

void StartNoInputBlink(Console& c) {
    c.svc.timers.Start(TimerKey{TimerId::NoInputBlk}, kWindowTimerMs,
                       [&c] { BlinkEmptyInputs(c); });
}

std::string BindFailureText(int i, const std::string& reason) {
    return CarLabel(i) + "の通信ポート " + std::to_string(CarLocalPort(i)) + " を開けません。(" +
           reason + ")\n" + CarLabel(i) + "は計測しません。";
}

}  // namespace

void StartWindowTimers(Console& c) {
    c.svc.timers.Start(TimerKey{TimerId::System}, kWindowTimerMs, [&c] { SystemClockTick(c); });
    StartNoInputBlink(c);
}

void Btn_Start_Click(Console& c) {
    if (c.st.main.Btn_Start.caption == "Start")
        StartMeasurement(c);
    else
        StopMeasurement(c);
}

void StartMeasurement(Console& c) {
    ConsoleState& st = c.st;
    MainFrameState& m = st.main;
    c.ticks.Start(c.clock.TicksPerSecond);
    m.Btn_Start.caption = "Stop";
    st.MeasureStartTime = c.svc.wall.Now();
    ApplyRunLength(c);
    st.LastMeasuredSlot = -1;

    // Bind failures are reported after the loop, so no dialog opens while the slots are
    // half set up (car datagrams keep being handled while a message box is open).
    std::vector<std::string> bindFailures;
    for (int i = 0; i < kPanelCount; ++i) {
        RunnerState& r = st.runners[i];
        PanelState& p = st.panels[i];
        r.LapCount = 0;
        r.AwayFlag = false;
        if (p.Lbl_IP.caption.empty()) {
            LeaveOutOfRun(c, i);
            continue;
        }
        p.Lbl_AllGas.caption = ShortestFloat(r.FuelLoaded);
        p.Btn_RunStop.enabled = true;
        UpdateFuelGauge(c, i);
        p.Frm_Runner.enabled = true;
        const std::string error =
            c.svc.net.Bind(CarSocket(i), CarLocalPort(i),
                           [&c, i](std::string_view d) { HandleCarMessage(c, i, d); });
        if (!error.empty()) {
            bindFailures.push_back(BindFailureText(i, error));
            LeaveOutOfRun(c, i);
            continue;
        }
        ++st.LastMeasuredSlot;
        c.svc.timers.Start(TimerKey{TimerId::Lap, i}, kLapTimerMs, [&c, i] { LapTimerTick(c, i); });
        r.LapStartTick = 0;
        // A new run starts clean: no status block, best lap or correction of the last run
        // reaches the car or the ranking, and the silence step may open lap 1 of a car that
        // is not heard at all (the tick counter restarted at 0).
        r.StatusBlock.clear();
        r.BestLapText.clear();
        r.BestLapNo = 0;
        r.LastHeardTick = 0;
        r.LinkFlag = "N";
        r.SentTypedMessage.clear();
        TypedMessageChanged(c, i);
        p.Lbl_LapCnt.caption = "1周目";
        p.Spd_LapTime.SetRowCount(0);
        for (Label* l : {&p.Lbl_BestLapTime, &p.Lbl_AveLapTime, &p.Lbl_YosoSyu,
                         &p.Lbl_DrvrBestLapTime, &p.Lbl_DrvrAveLapTime})
            l->caption.clear();
    }

    if (st.LastMeasuredSlot == -1) {
        if (bindFailures.empty())
            c.svc.dialogs.MessageBox("計測する車輌の登録がされていません。", "", MessageButtons::Ok,
                                     MessageIcon::None);
        for (const std::string& text : bindFailures)
            c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
        m.Btn_Start.caption = "Start";
        c.ticks.Stop();
        for (int i = 0; i < kPanelCount; ++i) {
            st.panels[i].Frm_Runner.enabled = true;
            c.svc.net.Close(CarSocket(i));
        }
        // Nothing is measured, so no remaining time should count down or reach the cars.
        st.EndTimeSet = false;
        return;
    }

    StopPresenceResponder(c);
    for (int row = 0; row < kPanelCount; ++row) {
        RankingRow& rr = m.ranking[row];
        const bool shown = row <= st.LastMeasuredSlot;
        for (Label* l : {&rr.Lbl_Sort_No, &rr.Lbl_Sort_LAP, &rr.Lbl_BestTime, &rr.Lbl_BestLAP})
            l->caption.clear();
        for (Label* l :
             {&rr.Lbl_Jyuni, &rr.Lbl_Sort_No, &rr.Lbl_Sort_LAP, &rr.Lbl_BestTime, &rr.Lbl_BestLAP})
            l->visible = shown;
    }
    m.Lbl_StTime.caption = FormatStartTime(st.MeasureStartTime);
    SetConsoleButtons(c, false);
    m.Btn_OtherLap.enabled = true;
    c.svc.timers.Stop(TimerKey{TimerId::NoInputBlk});
    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = st.panels[i];
        p.Btn_ClientNoSet2.enabled = false;
        p.Btn_ClsCar.enabled = false;
        if (p.Frm_Runner.back == RegisteredColour) {
            p.Cmb_Driver.back = White;
            p.Cmb_Car.back = White;
        }
    }
    st.SkipStopConfirm = false;

    for (const std::string& text : bindFailures)
        c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
}

void StopMeasurement(Console& c) {
    ConsoleState& st = c.st;
    MainFrameState& m = st.main;
    if (!st.SkipStopConfirm) {
        if (c.svc.dialogs.MessageBox("ストップしますか？", "Stop確認", MessageButtons::YesNo,
                                     MessageIcon::Critical) != MessageAnswer::Yes)
            return;
        // The run may have ended while the question was open (the tick limit).
        if (!st.Measuring()) return;
    }
    st.SkipStopConfirm = false;
    st.EndTimeSet = false;
    m.Btn_Start.caption = "Start";
    c.ticks.Stop();

    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = st.panels[i];
        p.Btn_RunStop.enabled = true;
        c.svc.net.Close(CarSocket(i));
        p.Frm_Runner.enabled = true;
        c.svc.timers.Stop(TimerKey{TimerId::Lap, i});
        p.Lbl_Time.caption = FormatLapTime(0, c.clock);
        ClearTypedMessage(c, i);
        // ArmCountdown runs even when the box was already unchecked, to disarm for sure.
        p.Chk_ChgCnter.checked = false;
        ArmCountdown(c, i);
        c.svc.timers.Stop(TimerKey{TimerId::MessBlk, i});
        p.Lbl_InMess.caption.clear();
        p.Lbl_InMess.back = RegisteredColour;
        p.Btn_ClientNoSet2.enabled = true;
        p.Btn_ClsCar.enabled = true;
    }

    // A failure to rebind is not reported: the responder is a convenience before a run.
    StartPresenceResponder(c);
    m.Lbl_StTime.caption.clear();
    SetConsoleButtons(c, true);
    m.Btn_OtherLap.enabled = false;
    StartNoInputBlink(c);
}

void StopCar(Console& c, int i) {
    if (i < 0 || i >= kPanelCount) return;
    ConsoleState& st = c.st;
    PanelState& p = st.panels[i];
    // Outside a measurement (every stop button is enabled after a stop) there is nothing
    // to stop, and the last-car rule below must never start a new measurement.
    if (!st.Measuring() || !p.Btn_RunStop.enabled) return;

    CloseDriverPopup(c, i);
    if (c.svc.dialogs.MessageBox(p.Frm_Runner.caption + "の計測を中止しますか？", "Stop確認",
                                 MessageButtons::YesNo,
                                 MessageIcon::Critical) != MessageAnswer::Yes)
        return;
    if (!st.Measuring()) return;  // the run ended while the question was open

    c.svc.timers.Stop(TimerKey{TimerId::Lap, i});
    c.svc.net.Close(CarSocket(i));
    c.svc.timers.Stop(TimerKey{TimerId::MessBlk, i});
    p.Lbl_InMess.back = RegisteredColour;
    p.Btn_RunStop.enabled = false;

    bool anyLeft = false;
    for (int s = 0; s < kPanelCount; ++s) anyLeft = anyLeft || st.panels[s].Btn_RunStop.enabled;
    if (!anyLeft) {
        st.SkipStopConfirm = true;
        Btn_Start_Click(c);
    } else {
        st.SkipStopConfirm = false;
    }
}

}  // namespace velmora
