#include "carlink/protocol.h"

namespace velmora {
// STUB: replaced by the real implementation.
void HandleCarMessage(Console&, int, std::string_view) {}
std::string BuildStatusBlock(const Console&, int) { return {}; }
}  // namespace velmora
