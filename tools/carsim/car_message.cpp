#include "car_message.h"

#include "core/encoding.h"

namespace velmora::carsim {

std::string FormatLapEcho(std::int64_t lap) {
    std::string digits = std::to_string(lap < 0 ? 0 : lap);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return digits;
}

std::string EncodeCarMessage(std::int64_t echoLap, std::string_view crewTextUtf8,
                             int* substitutions) {
    return FormatLapEcho(echoLap) + Utf8ToCp932(crewTextUtf8, substitutions);
}

}  // namespace velmora::carsim
