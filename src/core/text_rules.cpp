#include "core/text_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <locale.h>
#include <stdlib.h>

namespace velmora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest numeric prefix of `s` (sign, digits, one point); 0 when none.
std::size_t NumericPrefix(std::string_view s, bool allowExponent) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (allowExponent && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && IsDigit(s[j])) ++j, ++expDigits;
        if (expDigits > 0) i = j;
    }
    return i;
}

// Read in the "C" locale: the Qt shell switches to the user's locale, under which plain
// strtod would read "10.5" as 10 wherever the decimal separator is a comma.
double ToDouble(std::string_view s) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    std::string copy(s);  // strtod needs a terminated string; from_chars rejects a '+'
    return cLocale != locale_t{} ? ::strtod_l(copy.c_str(), nullptr, cLocale)
                                 : std::strtod(copy.c_str(), nullptr);
}

}  // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

double LeadingNumber(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    const std::size_t n = NumericPrefix(text, false);
    if (n == 0) return 0.0;
    const double v = ToDouble(text.substr(0, n));
    return std::isfinite(v) ? v : 0.0;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return 0.0;
    return std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
}

std::int32_t WholeNumber(std::string_view text) {
    const double r = RoundHalfEven(LeadingNumber(text));
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (r <= kMin) return std::numeric_limits<std::int32_t>::min();
    if (r >= kMax) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

bool ParseNumber(std::string_view text, double& out) {
    text = Trim(text);
    const std::size_t n = NumericPrefix(text, true);
    if (n == 0 || n != text.size()) return false;
    const double v = ToDouble(text);
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

bool IsNumeric(std::string_view text) {
    double ignored = 0;
    return ParseNumber(text, ignored);
}

std::string FullWidthNumber(std::int64_t n) {
    static constexpr const char* kDigits[] = {"０", "１", "２", "３", "４",
                                              "５", "６", "７", "８", "９"};
    const std::string plain = std::to_string(n);
    std::string out;
    for (char c : plain) {
        if (c == '-')
            out += "－";
        else
            out += kDigits[c - '0'];
    }
    return out;
}

std::string CarLabel(int slot) { return FullWidthNumber(slot + 1) + "号車"; }

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(text);
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string ShortestFloat(float value) {
    if (!std::isfinite(value)) return "0";
    char buf[64];
    int precision = 1;
    for (; precision <= 7; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(value));
        if (std::strtof(buf, nullptr) == value) break;
    }
    precision = std::min(precision, 7);
    // %g switches to an exponent once the exponent reaches the precision (20 at one digit
    // is "2e+01"): below 1e7 the plain form with the same significant digits is wanted.
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude >= 1.0 && magnitude < 1e7) {
        const int intDigits = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, precision - intDigits),
                      static_cast<double>(value));
    }
    std::string s(buf);
    if (s == "-0") s = "0";
    return s;
}

}  // namespace velmora
