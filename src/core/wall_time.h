#pragma once
#include <chrono>
#include <cstdint>

namespace velmora {

// A local wall-clock time to the second (no time zone arithmetic is ever needed: the console
// only adds hours and minutes and takes differences, as the crew reads them off the clock).
using LocalTime = std::chrono::local_seconds;

struct CivilTime {
    int year, month, day, hour, minute, second;
};

CivilTime ToCivil(LocalTime t);
LocalTime FromCivil(const CivilTime& c);

}  // namespace velmora
