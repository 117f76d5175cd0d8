#pragma once
#include "core/console.h"

namespace velmora {

// Starts Time_System and Time_NoInputBlk (window load).
void StartWindowTimers(Console& c);
// Btn_Start click: StartMeasurement or StopMeasurement by its caption.
void Btn_Start_Click(Console& c);
void StartMeasurement(Console& c);
void StopMeasurement(Console& c);
// Btn_RunStop(i) click.
void StopCar(Console& c, int i);
// Txt_RunH (hours = true) / Txt_RunN got and lost the focus.
void RunLengthGotFocus(Console& c, bool hours);
void RunLengthLostFocus(Console& c, bool hours);
// Time_System tick: clock and remaining time.
void SystemClockTick(Console& c);

}  // namespace velmora
