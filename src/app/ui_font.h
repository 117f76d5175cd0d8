#pragma once
// The window font: "ＭＳ Ｐゴシック", mapped to an installed metric-compatible gothic.
#include <QFont>

namespace velmora {

// Registers the substitutions once; call before building any window.
void InstallUiFont();
QFont UiFont();

}  // namespace velmora
