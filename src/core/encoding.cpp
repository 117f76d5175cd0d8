#include "core/encoding.h"

namespace velmora {
// STUB: replaced by the ICU implementation.
std::string Cp932ToUtf8(std::string_view bytes) { return std::string(bytes); }
std::string Utf8ToCp932(std::string_view utf8, int*) { return std::string(utf8); }
}  // namespace velmora
