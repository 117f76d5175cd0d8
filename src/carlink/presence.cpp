#include "carlink/presence.h"

namespace velmora {
// STUB: replaced by the real implementation.
std::string StartPresenceResponder(Console&) { return {}; }
void StopPresenceResponder(Console&) {}
void HandlePresenceQuery(Console&, std::string_view) {}
}  // namespace velmora
