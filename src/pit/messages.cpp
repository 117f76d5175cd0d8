#include "pit/messages.h"

namespace velmora {
// STUB: replaced by the real implementation.
void UpdateAllCarsMessage(Console&) {}
void ComposeOutgoingMessage(Console&, int) {}
void ShowIncomingMessage(Console& c, int i, std::string_view text) {
    c.st.panels[i].Lbl_InMess.caption = std::string(text);
}
void MessBlinkTick(Console&, int) {}
}  // namespace velmora
