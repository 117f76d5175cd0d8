#include "pit/drivers.h"

#include <string>

#include "core/text_rules.h"
#include "core/window_state.h"

namespace velmora {

namespace {

constexpr int kDriverPopupMs = 30000;

void Disarm(PanelState& p) {
    p.Chk_ChgCnter.checked = false;
    p.Txt_ZanRunCnt.text = "0";
    p.Txt_ZanRunCnt.enabled = false;
    p.Lbl_AutoMess1.fore = Grey;
    p.Lbl_AutoMess2.fore = Grey;
}

}  // namespace

void ChooseDriver(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    RunnerState& r = c.st.runners[i];
    // A new driver always starts with the countdown disarmed.
    Disarm(p);
    r.DriverInfoRow = 0;

    const std::string name =
        p.Cmb_Driver.listIndex >= 0 ? p.Cmb_Driver.Column(0) : p.Cmb_Driver.text;
    if (name.empty()) return;  // no driver chosen: no nameless summary row

    Grid& table = p.Spd_DriverInfo;
    // With duplicate names the last matching row wins.
    for (int row = 1; row <= table.RowCount(); ++row)
        if (table.Cell(row, 1) == name) r.DriverInfoRow = row;
    if (r.DriverInfoRow == 0) {
        const int row = table.RowCount() + 1;
        table.SetRowCount(row);
        table.SetCell(row, 1, name);
        r.DriverInfoRow = row;
    }
}

void ArmCountdown(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    if (!p.Chk_ChgCnter.checked) {
        Disarm(p);
        return;
    }
    p.Txt_ZanRunCnt.enabled = true;
    p.Txt_ZanRunCnt.text = std::to_string(c.settings.DefaultCountdownLaps);
    p.Lbl_AutoMess1.fore = Black;
    p.Lbl_AutoMess2.fore = Black;
}

void ZanRunCntLostFocus(Console& c, int i) {
    TextBox& box = c.st.panels[i].Txt_ZanRunCnt;
    // Any valid number stays as typed (decimals and negatives too): the automatic messages
    // compare the text, not its value.
    if (IsNumeric(box.text)) return;
    c.svc.dialogs.Beep();
    box.text = "0";
    c.st.focusRequest = SlotControlName("Txt_ZanRunCnt", i);
}

void DriverInfoClick(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    // The click flips the two-state button; pressed in (state 0) means the pop-up is open.
    p.Btn_DriverInfo.pressed = !p.Btn_DriverInfo.pressed;
    const TimerKey key{TimerId::DriverInfo, i};
    if (p.Btn_DriverInfo.pressed) {
        p.Frm_DriverLap.visible = true;
        StartDriverPopupTimer(c, i);
    } else {
        p.Frm_DriverLap.visible = false;
        c.svc.timers.Stop(key);
    }
}

void StartDriverPopupTimer(Console& c, int i) {
    c.svc.timers.Start(TimerKey{TimerId::DriverInfo, i}, kDriverPopupMs,
                       [&c, i] { CloseDriverPopup(c, i); });
}

void CloseDriverPopup(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    c.svc.timers.Stop(TimerKey{TimerId::DriverInfo, i});
    p.Frm_DriverLap.visible = false;
    p.Btn_DriverInfo.pressed = false;
}

void DriverListLostFocus(Console& c, int i) { c.st.panels[i].Cmb_Driver.back = White; }

}  // namespace velmora
