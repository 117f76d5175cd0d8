#pragma once
#include <cstdint>

namespace velmora {

// Colours are written &HBBGGRR as on the original console: blue in the high byte.
using Colour = std::uint32_t;

inline constexpr Colour IdleColour = 0xC000;          // green: slot not set up
inline constexpr Colour RegisteredColour = 0xC0FFFF;  // light yellow: slot set up
inline constexpr Colour BlinkColour = 0xC0C0;         // olive: empty selection while idle
inline constexpr Colour White = 0xFFFFFF;
inline constexpr Colour Black = 0x000000;
inline constexpr Colour Red = 0x0000FF;
inline constexpr Colour Yellow = 0x00FFFF;
inline constexpr Colour Pink = 0xFF80FF;
inline constexpr Colour Grey = 0xC0C0C0;
inline constexpr Colour PendingColour = 0xB0D8FF;  // pale orange: typed text not yet sent

// Components of a &HBBGGRR colour, for the shell.
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace velmora
