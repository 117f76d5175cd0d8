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

namespace {

// "[-]d[.ddd]e±XX" (as %g writes it, trailing zeros already gone) in plain digits.
std::string WithoutExponent(std::string_view g) {
    const bool negative = !g.empty() && g.front() == '-';
    if (negative) g.remove_prefix(1);
    const std::size_t e = g.find('e');
    std::string digits;
    for (char c : g.substr(0, e))
        if (IsDigit(c)) digits += c;
    std::string_view exp = g.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    const int point = exponent + 1;  // digits before the decimal point
    const int count = static_cast<int>(digits.size());
    std::string out;
    if (point <= 0)
        out = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    else if (point >= count)
        out = digits + std::string(static_cast<std::size_t>(point - count), '0');
    else
        out = digits.substr(0, static_cast<std::size_t>(point)) + "." +
              digits.substr(static_cast<std::size_t>(point));
    return negative ? "-" + out : out;
}

}  // namespace

std::string ShortestFloat(float value) {
    if (!std::isfinite(value)) return "0";
    char buf[64];
    int precision = 1;
    // to_chars/from_chars rather than printf/strtof: they ignore the process locale, which
    // the Qt shell sets from the user's environment (a comma locale would write "12,5").
    const auto format = [&buf](double v, std::chars_format fmt, int digits) {
        const auto res = std::to_chars(buf, buf + sizeof buf - 1, v, fmt, digits);
        *res.ptr = '\0';
        return res.ptr;
    };
    for (; precision <= 7; ++precision) {
        const char* end = format(static_cast<double>(value), std::chars_format::general, precision);
        float back = 0.0f;
        std::from_chars(buf, end, back);
        if (back == value) break;
    }
    precision = std::min(precision, 7);
    // %g switches to an exponent once the exponent reaches the precision (20 at one digit
    // is "2e+01"): below 1e7 the plain form with the same significant digits is wanted.
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude >= 1.0 && magnitude < 1e7) {
        const int intDigits = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
        format(static_cast<double>(value), std::chars_format::fixed,
               std::max(0, precision - intDigits));
    }
    std::string s(buf);
    // A value that needs more than 7 digits is cut to 7, and %f keeps the zeros that %g
    // drops ("607.0400"): no trailing zeros, so the text reads back as what it shows.
    if (s.find('.') != std::string::npos && s.find('e') == std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    // Outside 1e-4 .. 1e7 %g still writes an exponent, which the leading-number rule stops
    // at ("1e-05" reads back as 1): the files and lists get plain digits at every magnitude.
    if (s.find('e') != std::string::npos) s = WithoutExponent(s);
    if (s == "-0") s = "0";
    return s;
}

}  // namespace velmora
