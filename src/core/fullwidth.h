#pragma once
#include <string>
#include <string_view>

namespace velmora {

// The full-width form of a text: printable ASCII → U+FF01..U+FF5E, the blank → U+3000,
// half-width katakana → full-width katakana with voiced marks combined (ｶﾞ → ガ).
// Characters that are already double-byte are unchanged. Every result encodes to CP932.
std::string ToFullWidth(std::string_view utf8);

}  // namespace velmora
