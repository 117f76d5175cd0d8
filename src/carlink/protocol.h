#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/console.h"

namespace velmora {

// Port plan: slot i binds 7011 + 10·i and replies to 7012 + 10·i at its registered address.
constexpr std::uint16_t CarLocalPort(int slot) {
    return static_cast<std::uint16_t>(7011 + 10 * slot);
}
constexpr std::uint16_t CarRemotePort(int slot) {
    return static_cast<std::uint16_t>(7012 + 10 * slot);
}
inline constexpr std::uint16_t kPresenceLocalPort = 7001;
inline constexpr std::uint16_t kPresenceRemotePort = 7002;

// One datagram arrived on slot i's socket (raw CP932 bytes) at tick `arrivalTick`, the wall
// clock then reading `arrivedAt`: decode it, record a lap when due (timed to its arrival) and
// send exactly one reply.
void HandleCarMessage(Console& c, int i, std::string_view datagram, std::int32_t arrivalTick,
                      LocalTime arrivedAt);
// The same for a datagram that arrives now.
void HandleCarMessage(Console& c, int i, std::string_view datagram);

// The 59-character status block of slot i, built from its fields and the wall clock.
std::string BuildStatusBlock(const Console& c, int i);

}  // namespace velmora
