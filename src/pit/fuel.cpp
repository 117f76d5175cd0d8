#include "pit/fuel.h"

namespace velmora {
// STUB: replaced by the real implementation.
void ChooseCar(Console&, int) {}
void NenpiLostFocus(Console&, int) {}
void InGaslLostFocus(Console&, int) {}
void Refuel(Console&, int) {}
void UpdateFuelGauge(Console&, int) {}
void GasBlinkTick(Console&, int) {}
}  // namespace velmora
