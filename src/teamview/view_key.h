#pragma once
// The team view's key: 128 random bits from the system's generator, written as 22 characters
// of URL-safe base64 (A–Z a–z 0–9 - _), so it goes into an address as it is.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::size_t kViewKeyBytes = 16;
inline constexpr std::size_t kViewKeyChars = 22;

// A new key; throws std::runtime_error when the system gives no random bytes.
std::string NewViewKey();

// Base64url without padding.
std::string Base64Url(const std::uint8_t* bytes, std::size_t n);

// True for text a NewViewKey could have made: 22 URL-safe characters whose last one carries
// no bits beyond the 128.
bool IsViewKey(std::string_view text);

}  // namespace velmora
