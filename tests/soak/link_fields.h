#pragma once
// The two numbers the soak checks read off the car link without a console: the lap echo a
// car message starts with, and the lap count in a reply's status block.
#include <optional>
#include <string_view>

namespace velmora::soak {

// The first three bytes as a number (the simulator always sends three digits); nothing when
// they are not digits.
std::optional<int> EchoOf(std::string_view carMessage);

// The lap count of the status block (bytes 1..3, after the flag), or nothing for a reply
// without one. A reply carries a block when it is at least 60 bytes long and its date field
// has its slashes where the block puts them; the soak run sends no pit text, so a short
// reply is the flag alone.
std::optional<int> StatusLapOf(std::string_view reply);

}  // namespace velmora::soak
