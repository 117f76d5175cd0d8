#include "measure/lap_display.h"

#include <cstdint>

#include "core/car_status.h"
#include "core/text_rules.h"
#include "core/time_format.h"
#include "measure/measurement.h"
#include "measure/plain_number.h"
#include "pit/fuel.h"
#include "pit/messages.h"

namespace velmora {

namespace {

// TickCounter is 32-bit: a minute before it would saturate the run is ended, so no lap
// time is ever taken from a clock that has stopped moving.
constexpr std::int32_t kLimitMarginSeconds = 60;

void ToggleWhenEmpty(ComboBox& box) {
    if (!box.text.empty()) return;
    box.back = box.back == BlinkColour ? White : BlinkColour;
}

}  // namespace

void LapTimerTick(Console& c, int i) {
    if (c.st.Measuring() && c.ticks.NearLimit(kLimitMarginSeconds * c.clock.TicksPerSecond)) {
        c.st.SkipStopConfirm = true;
        StopMeasurement(c);
        c.svc.dialogs.MessageBox("計測時間が上限に達したため、計測を終了しました。", "",
                                 MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    const RunnerState& r = c.st.runners[i];
    const std::int64_t elapsed = static_cast<std::int64_t>(c.TickCounter()) - r.LapStartTick;
    c.st.panels[i].Lbl_Time.caption = FormatLapTime(static_cast<std::int32_t>(elapsed), c.clock);
    OpenNextLap(c, i, c.SilenceCheckTick());
    ShowCarStatus(c, i);
    c.JournalHeartbeat();
}

void OpenNextLap(Console& c, int i) { OpenNextLap(c, i, c.TickCounter()); }

void OpenNextLap(Console& c, int i, std::int32_t asOf) {
    RunnerState& r = c.st.runners[i];
    PanelState& p = c.st.panels[i];
    // Strictly later than the silence interval: a reading exactly at the edge opens nothing.
    const std::int64_t edge = static_cast<std::int64_t>(r.LastHeardTick) + c.clock.SilenceTicks;
    if (r.AwayFlag || asOf <= edge) return;

    // The car has left: the pass that closed the last lap ended with its last datagram. A long
    // pass is a pit stop, judged now that its length is known.
    if (r.LapCount >= 1 && !p.Spd_LapTime.Cell(r.LapCount, kLapClosedTickColumn).empty())
        p.Spd_LapTime.SetCell(r.LapCount, kLapPassEndTickColumn, std::to_string(r.LastHeardTick));
    ++r.LapCount;
    UpdateFuelGauge(c, i);
    if (p.Chk_ChgCnter.checked)
        p.Txt_ZanRunCnt.text = PlainNumber(LeadingNumber(p.Txt_ZanRunCnt.text) - 1);
    p.Spd_LapTime.SetRowCount(r.LapCount);
    p.Spd_LapTime.SetActiveCell(1, r.LapCount);
    r.AwayFlag = true;
    // A typed message that went out with the replies of this pass is done with; one typed
    // after the car's last datagram waits for the next pass.
    if (TypedMessageWentOut(c, i)) ClearTypedMessage(c, i);
}

void BlinkEmptyInputs(Console& c) {
    ToggleWhenEmpty(c.st.main.Cmb_Course);
    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = c.st.panels[i];
        if (p.Frm_Runner.back != RegisteredColour) continue;
        ToggleWhenEmpty(p.Cmb_Driver);
        ToggleWhenEmpty(p.Cmb_Car);
    }
}

}  // namespace velmora
