#include "core/window_scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <string_view>

#include "core/profile_file.h"
#include "core/text_rules.h"

namespace velmora {

namespace {

constexpr std::string_view kSection = "画面表示";
constexpr std::string_view kKey = "表示倍率";

double Clamped(double scale) {
    if (!std::isfinite(scale)) return 1.0;
    return std::clamp(scale, kMinWindowScale, kMaxWindowScale);
}

}  // namespace

double LoadWindowScale(const std::string& settingsPath) {
    try {
        const ProfileValue v = ReadProfileValue(settingsPath, kSection, kKey);
        double scale = 0;
        if (v.count == 0 || !ParseNumber(v.text, scale) || scale <= 0) return 1.0;
        return Clamped(scale);
    } catch (const std::exception&) {
        return 1.0;
    }
}

bool SaveWindowScale(const std::string& settingsPath, double scale) {
    try {
        return WriteProfileValue(settingsPath, kSection, kKey, WindowScaleText(scale));
    } catch (const std::exception&) {
        return false;
    }
}

double StartWindowScale(double remembered, double fitsScreen) {
    const double cap = std::isfinite(fitsScreen) ? std::max(1.0, fitsScreen) : 1.0;
    return Clamped(std::min(Clamped(remembered), cap));
}

std::string WindowScaleText(double scale) {
    // Not printf: the shell's locale could make the decimal point a comma.
    char text[16];
    const auto r =
        std::to_chars(text, text + sizeof text, Clamped(scale), std::chars_format::fixed, 2);
    return std::string(text, r.ptr);
}

}  // namespace velmora
