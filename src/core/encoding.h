#pragma once
// CP932 (Windows-31J) at the edges: files and datagrams are CP932 bytes, text inside is UTF-8.
#include <string>
#include <string_view>

namespace velmora {

// Decodes CP932 bytes; bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Encodes UTF-8 as CP932. Characters CP932 lacks take their usual fallback where one exists
// (U+00A5 → 0x5C, U+301C → 0x8160, U+2212 → 0x817C), otherwise "?"; `substitutions`
// counts the characters that had no code. Invalid UTF-8 is treated the same way.
std::string Utf8ToCp932(std::string_view utf8, int* substitutions = nullptr);

}  // namespace velmora
