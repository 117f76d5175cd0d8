#include "measure/measurement.h"

namespace velmora {
// STUB: replaced by the real implementation.
void StartWindowTimers(Console&) {}
void Btn_Start_Click(Console&) {}
void StartMeasurement(Console&) {}
void StopMeasurement(Console&) {}
void StopCar(Console&, int) {}
void RunLengthGotFocus(Console&, bool) {}
void RunLengthLostFocus(Console&, bool) {}
void SystemClockTick(Console&) {}
}  // namespace velmora
