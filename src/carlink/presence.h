#pragma once
#include <string_view>

#include "core/console.h"

namespace velmora {

// Binds the presence socket (local 7001). Returns "" or the reason it failed.
std::string StartPresenceResponder(Console& c);
void StopPresenceResponder(Console& c);
void HandlePresenceQuery(Console& c, std::string_view datagram);

}  // namespace velmora
