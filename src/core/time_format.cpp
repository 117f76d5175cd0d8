#include "core/time_format.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmora {

namespace {

// The number format "00" / "000" of the original: at least `width` digits, zero-padded on the
// left, and a minus sign in front of the padding for negative values (-1 → "-01").
std::string Padded(std::int64_t v, int width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return v < 0 ? "-" + digits : digits;
}

}  // namespace

std::string FormatLapTime(std::int32_t ticks, const ClockParams& clock) {
    const std::int64_t d = clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000;
    const std::int64_t t = ticks;
    const std::int64_t s = t / d;  // truncates toward zero
    const std::int64_t m = s / 60;
    const std::int64_t ss = s - 60 * m;
    const std::int64_t f = t % d;  // takes the sign of t
    return std::to_string(m) + "'" + Padded(ss, 2) + "\"" +
           Padded(f, static_cast<int>(clock.FractionFormat.size()));
}

std::string FormatClockTime(std::int32_t seconds) {
    const std::int64_t n = seconds;
    const std::int64_t tm = n / 60;
    const std::int64_t ss = n - 60 * tm;
    const std::int64_t h = tm / 60;
    const std::int64_t mm = tm - 60 * h;
    return std::to_string(h) + ":" + Padded(mm, 2) + ":" + Padded(ss, 2);
}

std::string FormatAmPmClock(LocalTime t) {
    const CivilTime c = ToCivil(t);
    int hour12 = c.hour % 12;
    if (hour12 == 0) hour12 = 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s %02d:%02d:%02d", c.hour < 12 ? "am" : "pm", hour12, c.minute,
                  c.second);
    return buf;
}

std::string FormatStartTime(LocalTime t) {
    const CivilTime c = ToCivil(t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", c.hour, c.minute);
    return std::string("Start時間 ") + buf;
}

std::string FormatRemaining(std::int64_t seconds) {
    // Clamp before negating: -INT64_MIN does not exist.
    constexpr std::int64_t kMax = 2147483647;
    const std::int64_t a = seconds < -kMax ? kMax
                           : seconds < 0   ? -seconds
                                           : std::min(seconds, kMax);
    return "残り " + FormatClockTime(static_cast<std::int32_t>(a));
}

std::string FormatShortDate(LocalTime t) {
    const CivilTime c = ToCivil(t);
    return std::to_string(c.year) + "/" + std::to_string(c.month) + "/" + std::to_string(c.day);
}

std::string FormatStatusDate(LocalTime t) {
    const CivilTime c = ToCivil(t);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", c.year % 10000, c.month, c.day);
    return buf;
}

std::string FormatStatusTime(LocalTime t) {
    const CivilTime c = ToCivil(t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return buf;
}

}  // namespace velmora
