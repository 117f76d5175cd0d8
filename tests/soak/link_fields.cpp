#include "link_fields.h"

namespace velmora::soak {
namespace {

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return true;
}

int ToInt(std::string_view digits) {
    int v = 0;
    for (char ch : digits) v = v * 10 + (ch - '0');
    return v;
}

}  // namespace

std::optional<int> EchoOf(std::string_view carMessage) {
    if (carMessage.size() < 3 || !AllDigits(carMessage.substr(0, 3))) return std::nullopt;
    return ToInt(carMessage.substr(0, 3));
}

std::optional<int> StatusLapOf(std::string_view reply) {
    // Flag, then lap (3), three 10-digit millisecond fields, then "yyyy/mm/dd" at byte 34.
    constexpr std::size_t kBlockEnd = 60;
    if (reply.size() < kBlockEnd) return std::nullopt;
    if (!AllDigits(reply.substr(1, 33)) || reply[38] != '/' || reply[41] != '/')
        return std::nullopt;
    return ToInt(reply.substr(1, 3));
}

}  // namespace velmora::soak
