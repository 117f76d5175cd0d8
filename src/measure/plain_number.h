#pragma once
#include <string>

namespace velmora {

// A number as the crew would type it: no exponent, no padding, the shortest digits that
// read back as the same value ("2.5", "4", "-1", "83004").
std::string PlainNumber(double value);

}  // namespace velmora
