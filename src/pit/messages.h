#pragma once
#include <string_view>

#include "core/console.h"

namespace velmora {

// Txt_AllOutMess changed: recompute AllCarsMessage.
void UpdateAllCarsMessage(Console& c);
// Sets AutoMessageText[i] from the countdown and rebuilds OutgoingMessage[i].
void ComposeOutgoingMessage(Console& c, int i);
// Shows the car crew's text on Lbl_InMess(i) and starts or stops its blinking.
void ShowIncomingMessage(Console& c, int i, std::string_view text);
// Time_MessBlk(i): start it, and its tick.
void StartMessBlink(Console& c, int i);
void MessBlinkTick(Console& c, int i);

}  // namespace velmora
