#pragma once
#include <string_view>

#include "core/console.h"

namespace velmora {

// Txt_AllOutMess changed: recompute AllCarsMessage.
void UpdateAllCarsMessage(Console& c);
// Sets AutoMessageText[i] from the countdown and rebuilds OutgoingMessage[i]: the typed text,
// the countdown's message, the driver-change warning (ChangeWarningText, bracketed like the
// automatic messages) and the message to all cars.
void ComposeOutgoingMessage(Console& c, int i);
// Shows the car crew's text on Lbl_InMess(i) and starts or stops its blinking.
void ShowIncomingMessage(Console& c, int i, std::string_view text);
// Time_MessBlk(i): start it, and its tick.
void StartMessBlink(Console& c, int i);
void MessBlinkTick(Console& c, int i);

// A typed message is cleared by the silence step only once a reply has carried it; until
// then Txt_OutMess(i) shows PendingColour, so the crew sees it has not reached the car yet.
// A reply to car i went out with the text now in Txt_OutMess(i).
void NoteTypedMessageSent(Console& c, int i);
// The crew changed Txt_OutMess(i).
void TypedMessageChanged(Console& c, int i);
// True when the text in Txt_OutMess(i) is not empty and a reply has carried it.
bool TypedMessageWentOut(const Console& c, int i);
// Empties Txt_OutMess(i) and forgets what went out.
void ClearTypedMessage(Console& c, int i);

}  // namespace velmora
