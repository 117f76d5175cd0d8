#include "measure/measurement.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "carlink/presence.h"
#include "carlink/protocol.h"
#include "core/car_status.h"
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

// The buttons a run locks. Btn_Write is not among them: the results can be saved at any
// time, and writing them only reads the panels, so it never disturbs the run.
// The wall clock's reading (to the second) at monotonic instant `ns` in the recent past.
LocalTime WallTimeAt(const Console& c, std::int64_t ns) {
    const std::int64_t ageMs = std::max<std::int64_t>(0, c.svc.mono.NowNs() - ns) / 1'000'000;
    const std::int64_t nowMs = c.svc.wall.RealNowMs();
    const auto second = [](std::int64_t ms) { return ms >= 0 ? ms / 1000 : (ms - 999) / 1000; };
    return c.svc.wall.Now() - std::chrono::seconds(second(nowMs) - second(nowMs - ageMs));
}

void SetConsoleButtons(Console& c, bool enabled) {
    MainFrameState& m = c.st.main;
    for (Button* b : {&m.Btn_End, &m.Btn_Cource, &m.Btn_Drivers, &m.Btn_Car, &m.Btn_Mess})
        b->enabled = enabled;
}

// Set-up and clearing of every slot: locked during a run, so that no stray click, Tab or
// Enter can take the address of a racing car (a cancelled set-up empties it).
void SetSlotSetUpButtons(PanelState& p, bool enabled) {
    p.Btn_ClientNoSet.enabled = enabled;
    p.Btn_ClientNoSet2.enabled = enabled;
    p.Btn_ClsCar.enabled = enabled;
}

}  // namespace

void StartWindowTimers(Console& c) {
    StartSystemTimer(c);
    StartNoInputBlink(c);
}

void StartSystemTimer(Console& c) {
    c.svc.timers.Start(TimerKey{TimerId::System}, kWindowTimerMs, [&c] { SystemClockTick(c); });
}

void StartNoInputBlink(Console& c) {
    c.svc.timers.Start(TimerKey{TimerId::NoInputBlk}, kWindowTimerMs,
                       [&c] { BlinkEmptyInputs(c); });
}

void StartLapTimer(Console& c, int i) {
    c.svc.timers.Start(TimerKey{TimerId::Lap, i}, kLapTimerMs, [&c, i] { LapTimerTick(c, i); });
}

std::string BindCarSocket(Console& c, int i) {
    return c.svc.net.Bind(CarSocket(i), CarLocalPort(i),
                          [&c, i](const Datagram& d) { HandleArrival(c, i, d); });
}

void HandleArrival(Console& c, int i, const Datagram& d) {
    const std::int32_t tick = c.ticks.At(d.arrivalNs);
    // A datagram kept while nothing was handled (the restore question) comes after a time in
    // which the lap clock's step did not run: if the car was silent long enough before it, it
    // left on a lap meanwhile, and this datagram closes it.
    if (d.held) OpenNextLap(c, i, tick - 1);
    HandleCarMessage(c, i, d.bytes, tick, WallTimeAt(c, d.arrivalNs));
}

std::string BindFailureText(int i, const std::string& reason) {
    return CarLabel(i) + "の通信ポート " + std::to_string(CarLocalPort(i)) + " を開けません。(" +
           reason + ")\n" + CarLabel(i) + "は計測しません。";
}

void LeaveOutOfRun(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    c.svc.timers.Stop(TimerKey{TimerId::Lap, i});
    c.svc.net.Close(CarSocket(i));
    p.Frm_Runner.enabled = false;
    p.Btn_RunStop.enabled = false;
}

void Btn_Start_Click(Console& c) {
    if (c.st.main.Btn_Start.caption == "Start")
        StartMeasurement(c);
    else
        StopMeasurement(c);
}

void NoteTickZeroOrigin(Console& c) {
    c.st.TickZeroClockId = c.svc.mono.OriginId();
    c.st.TickZeroMonoNs = c.st.TickZeroClockId.empty() ? 0 : c.ticks.OriginNs();
}

void StartMeasurement(Console& c) {
    ConsoleState& st = c.st;
    MainFrameState& m = st.main;
    c.ticks.Start(c.clock.TicksPerSecond);
    st.TickZeroRealMs = c.svc.wall.RealNowMs();
    NoteTickZeroOrigin(c);
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
        r.HeardInRun = false;
        if (p.Lbl_IP.caption.empty()) {
            LeaveOutOfRun(c, i);
            continue;
        }
        p.Lbl_AllGas.caption = ShortestFloat(r.FuelLoaded);
        p.Btn_RunStop.enabled = true;
        UpdateFuelGauge(c, i);
        p.Frm_Runner.enabled = true;
        const std::string error = BindCarSocket(c, i);
        if (!error.empty()) {
            bindFailures.push_back(BindFailureText(i, error));
            LeaveOutOfRun(c, i);
            continue;
        }
        ++st.LastMeasuredSlot;
        StartLapTimer(c, i);
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
        ShowAllCarStatus(c);
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
        SetSlotSetUpButtons(p, false);
        if (p.Frm_Runner.back == RegisteredColour) {
            p.Cmb_Driver.back = White;
            p.Cmb_Car.back = White;
        }
    }
    st.SkipStopConfirm = false;
    ShowAllCarStatus(c);

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
        SetSlotSetUpButtons(p, true);
    }

    // A failure to rebind is not reported: the responder is a convenience before a run.
    StartPresenceResponder(c);
    m.Lbl_StTime.caption.clear();
    SetConsoleButtons(c, true);
    m.Btn_OtherLap.enabled = false;
    StartNoInputBlink(c);
    ShowAllCarStatus(c);
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
    ShowCarStatus(c, i);

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
