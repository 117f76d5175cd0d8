#pragma once
// The text rules used everywhere: numbers read from text, rounding, full-width digits.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The leading-number rule: after leading blanks, an optional sign, digits and one decimal
// point up to the first character that cannot belong to a number. No number gives 0.
// "12abc" → 12, " -1.5x" → -1.5, "abc" → 0, "" → 0.
double LeadingNumber(std::string_view text);

// Round to the nearest whole number, a half going to the even neighbour (2.5 → 2, 3.5 → 4).
double RoundHalfEven(double value);

// LeadingNumber rounded half-to-even, clamped into the signed 32-bit range.
std::int32_t WholeNumber(std::string_view text);

// True when the whole text (blanks around it allowed) is one number: sign, digits, an
// optional decimal point and an optional exponent. An empty text is not a number.
bool IsNumeric(std::string_view text);

// Strict variant of LeadingNumber for fields that must be a number: nullopt when IsNumeric
// is false.
bool ParseNumber(std::string_view text, double& out);

// A non-negative number in full-width digits: 12 → "１２". Negative numbers get "－".
std::string FullWidthNumber(std::int64_t n);

// "１号車" … for a slot index 0..4.
std::string CarLabel(int slot);

// Blanks (space, tab) removed from both ends.
std::string_view Trim(std::string_view text);

// Every occurrence of `from` replaced by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// A number as plain decimal text without padding ("10", "-1", "2.5"): the shortest form that
// reads back as the same 32-bit float, with up to 7 significant digits.
std::string ShortestFloat(float value);

}  // namespace velmora
