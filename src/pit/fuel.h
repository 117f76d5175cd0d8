#pragma once
#include "core/console.h"

namespace velmora {

// Cmb_Car(i) selection: take tank capacity and economy of the chosen car.
void ChooseCar(Console& c, int i);
// Txt_Nenpi(i) lost focus.
void NenpiLostFocus(Console& c, int i);
// Txt_InGasl(i) lost focus.
void InGaslLostFocus(Console& c, int i);
// Btn_Kyuyu(i).
void Refuel(Console& c, int i);
void UpdateFuelGauge(Console& c, int i);
// Time_GasBlk(i): start it, and its tick.
void StartGasBlink(Console& c, int i);
void GasBlinkTick(Console& c, int i);

}  // namespace velmora
