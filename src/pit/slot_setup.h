#pragma once
#include "core/console.h"

namespace velmora {

// Btn_ClientNoSet(i): ask for the car PC's address and set the slot up.
void SetUpCarSlot(Console& c, int i);
// Btn_ClientNoSet2(i): close the driver pop-up, then SetUpCarSlot.
void Btn_ClientNoSet2_Click(Console& c, int i);
// Btn_ClsCar(i): clear the slot after a confirmation.
void ClearCarSlot(Console& c, int i);

}  // namespace velmora
