#pragma once
// How large the main window was drawn last time, kept in Velmora.ini in a section of its
// own after the measurement settings, so those seven keys and their bytes never change.
#include <string>

namespace velmora {

// The factor on the twips layout. Below the smallest the window stops being readable; the
// largest is more than any screen the console will meet needs.
inline constexpr double kMinWindowScale = 0.75;
inline constexpr double kMaxWindowScale = 4.0;

// The remembered factor: 1 when the key is missing, empty or holds no number; clamped into
// the range above. Reading never writes anything.
double LoadWindowScale(const std::string& settingsPath);

// Writes the factor (clamped, two decimals) into its own section; other lines stay as they
// are. False when the file could not be written.
bool SaveWindowScale(const std::string& settingsPath, double scale);

// The scale to open with: the remembered one, smaller when the screen only holds less, but
// not below 1 on that account (the designed size is shown even on a smaller screen).
double StartWindowScale(double remembered, double fitsScreen);

// The factor as stored: "1.50".
std::string WindowScaleText(double scale);

}  // namespace velmora
