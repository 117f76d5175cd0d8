#include "pit/drivers.h"

namespace velmora {
// STUB: replaced by the real implementation.
void ChooseDriver(Console&, int) {}
void ArmCountdown(Console&, int) {}
void ZanRunCntLostFocus(Console&, int) {}
void DriverInfoClick(Console&, int) {}
void CloseDriverPopup(Console&, int) {}
void DriverListLostFocus(Console&, int) {}
}  // namespace velmora
