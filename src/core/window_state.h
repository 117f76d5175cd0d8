#pragma once
#include "core/console.h"

namespace velmora {

// The window as designed, before any start-up step: captions, design texts, colours, which
// controls are enabled and visible. Formats zero times with the current clock parameters.
void ApplyDesignState(Console& console);

// The controls a panel shows while a car is set up in it: the car, driver and message
// inputs, the lap-correction pair and the lap and driver frames. An idle panel hides them all
// and shows only its set-up button.
void SetSlotControls(PanelState& p, bool on);

// The state-only steps of the main window's start-up: the panels' captions, link flags,
// empty addresses, grid headers and zero lap clocks; the host address; today's date; the
// two-line results button; the editor grids' headers. The master lists and the presence
// socket are started by their own subsystems.
void MainWindowStartupState(Console& console);

// Object names of per-slot controls in the shell and in focus requests: "Txt_InGasl_1".
std::string SlotControlName(std::string_view control, int slot);

}  // namespace velmora
