#include "core/fullwidth.h"

namespace velmora {
// STUB: replaced by the ICU implementation.
std::string ToFullWidth(std::string_view utf8) { return std::string(utf8); }
}  // namespace velmora
