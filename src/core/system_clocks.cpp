#include "core/system_clocks.h"

#include <chrono>
#include <ctime>
#include <fstream>

namespace velmora {

std::int64_t SteadyClock::NowNs() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string SteadyClock::OriginId() const {
    static const std::string id = [] {
        std::ifstream f("/proc/sys/kernel/random/boot_id");
        std::string line;
        std::getline(f, line);
        return line;
    }();
    return id;
}

LocalTime SystemWallClock::Now() const {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return FromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec});
}

std::int64_t SystemWallClock::RealNowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace velmora
