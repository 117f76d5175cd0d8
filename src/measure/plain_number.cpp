#include "measure/plain_number.h"

#include <charconv>
#include <cmath>

namespace velmora {

std::string PlainNumber(double value) {
    if (!std::isfinite(value)) return "0";
    if (value == 0) return "0";  // also turns -0 into "0"
    char buf[400];               // fixed notation of the largest double needs 309 digits
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (res.ec != std::errc{}) res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

}  // namespace velmora
