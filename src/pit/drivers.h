#pragma once
#include "core/console.h"

namespace velmora {

// Cmb_Driver(i) selection.
void ChooseDriver(Console& c, int i);
// Chk_ChgCnter(i) value changed (by the crew or by the program).
void ArmCountdown(Console& c, int i);
// Txt_ZanRunCnt(i) lost focus.
void ZanRunCntLostFocus(Console& c, int i);
// Btn_DriverInfo(i) clicked: flips the two-state button, then opens the pop-up when it is
// now pressed in (closing itself after 30 s) or closes it when released.
void DriverInfoClick(Console& c, int i);
// Starts Time_DriverInfo(i), which closes the pop-up after 30 s.
void StartDriverPopupTimer(Console& c, int i);
// Stops Time_DriverInfo(i), hides Frm_DriverLap(i), releases Btn_DriverInfo(i).
void CloseDriverPopup(Console& c, int i);
// Cmb_Driver(i) lost focus: background back to white.
void DriverListLostFocus(Console& c, int i);

}  // namespace velmora
