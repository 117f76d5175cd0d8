#include "pit/slot_setup.h"

#include <string>

#include "core/car_status.h"
#include "core/fullwidth.h"
#include "core/text_rules.h"
#include "core/window_state.h"
#include "pit/drivers.h"

namespace velmora {

namespace {

// "　１号車搭載パソコンのＩＰ番号は？": the number keeps the blank of its sign position
// and the whole is made full-width.
std::string AddressPrompt(int i) {
    return ToFullWidth(" " + std::to_string(i + 1)) + "号車搭載パソコンのＩＰ番号は？";
}

}  // namespace

void SetUpCarSlot(Console& c, int i) {
    // Never during a run: a cancelled question would empty the address of a racing car.
    if (c.st.Measuring()) return;
    PanelState& p = c.st.panels[i];
    RunnerState& r = c.st.runners[i];
    const std::string old = p.Lbl_IP.caption;
    // Blanks around the address are dropped: a stray trailing blank would otherwise send
    // every reply nowhere and hide the car from the presence check.
    const std::string answer(Trim(c.svc.dialogs.InputBox(AddressPrompt(i), "ＩＰ設定", old)));

    p.Lbl_Gousya.caption = p.Frm_Runner.caption;
    p.Lbl_IP.caption = answer;
    r.FuelLoaded = 0.0f;
    p.Lbl_AllGas.caption.clear();
    p.Lbl_ZanGas.caption.clear();
    // An empty answer (or Cancel) takes the slot out of the next run but leaves the panel
    // as it is.
    if (!answer.empty() && (answer != old || p.Frm_Runner.back == IdleColour)) {
        p.Frm_Runner.back = RegisteredColour;
        SetSlotControls(p, true);
        p.Meter_Gas.value = 0;
    }
    ShowCarStatus(c, i);
}

void Btn_ClientNoSet2_Click(Console& c, int i) {
    CloseDriverPopup(c, i);
    SetUpCarSlot(c, i);
}

void ClearCarSlot(Console& c, int i) {
    if (c.st.Measuring()) return;
    PanelState& p = c.st.panels[i];
    const std::string text = p.Frm_Runner.caption + "の設定内容を消去します。\rよろしいですか？";
    if (c.svc.dialogs.MessageBox(text, "消去確認", MessageButtons::YesNo, MessageIcon::Critical) ==
        MessageAnswer::No)
        return;
    // The chosen car and driver, fuel figures, typed message and laps stay as they are.
    p.Lbl_IP.caption.clear();
    p.Frm_Runner.back = IdleColour;
    SetSlotControls(p, false);
    ShowCarStatus(c, i);
}

}  // namespace velmora
